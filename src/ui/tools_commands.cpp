#include "ui/tools_commands.h"

#include <new>

#include "catalogue/catalogue_file.h"
#include "catalogue/entry.h"
#include "catalogue/rom_names.h"
#include "formats/format_table.h"
#include "offset/offset_text.h"
#include "rom/rom_identity.h"
#include "rom/rom_image.h"
#include "files/files.h"
#include "ui/catalogue_commands.h"
#include "ui/decompress_command.h"

namespace quarvel {

Format BlockFormat(const DecompressorForm& form) {
  const auto& controls = form.controls;
  const Format chosen = ChosenFormat(controls);
  const int selected = controls.CompList.SelectedIndex();
  if (selected == ListBox::kNoSelection) return chosen;
  const std::string entry = controls.CompList.ItemAt(selected);
  const auto format = EntryFormat(entry);
  const auto offset = ParseOffsetText(EntryOffsetText(entry), Radix::Hex);
  const bool offered = format == Format::Kosinski || format == Format::Nemesis;
  if (!format || offered || !offset || controls.DisplayLoc.Text() != FormatOffsetText(*offset, ChosenRadix(controls)))
    return chosen;
  return *format;
}

std::optional<DecodedBlock> DecodeForPreview(DecompressorForm& form) {
  if (form.state.SourceFile.empty()) {
    Inform(form, kPickSourceFirstMessage);
    return std::nullopt;
  }
  const auto offset = ParseOffsetText(form.controls.DisplayLoc.Text(), ChosenRadix(form.controls));
  if (!offset) {
    Inform(form, kErrorMessage, std::string(kApplicationTitle));
    return std::nullopt;
  }
  auto block = ReadBlock(BlockFormat(form), form.state.SourceFile, *offset);
  WarnIfStoppedAtCopyBeforeStart(form.services.messages, block);
  if (!block) {
    Inform(form, "Não foi possível mostrar o bloco: " + ReasonInPortuguese(block.error()) + ".");
    return std::nullopt;
  }
  return std::move(*block);
}

std::string ReasonInPortuguese(const DecodeError& error) {
  const std::string at = HexOffset(error.position);
  switch (error.kind) {
    case DecodeErrorKind::NegativeOffset: return "o offset é negativo";
    case DecodeErrorKind::OffsetBeyondEnd: return "o offset " + at + " fica depois do fim do ROM";
    case DecodeErrorKind::Truncated: return "os dados acabam no byte " + at + ", antes do fim do bloco";
    case DecodeErrorKind::OutputTooLarge: return "o bloco passaria do tamanho que o formato permite (byte " + at + ")";
    case DecodeErrorKind::EmptyResult:
    case DecodeErrorKind::CopyBeforeStart: return "o bloco não tem nenhum dado";
    case DecodeErrorKind::MalformedCodeTable: return "a tabela de códigos do bloco é inválida no byte " + at;
    case DecodeErrorKind::TooManyTiles: return "o bloco declara mais ladrilhos do que o formato permite";
    case DecodeErrorKind::BadModule: return "um módulo do bloco é inválido no byte " + at;
    case DecodeErrorKind::CannotOpenSource:
    case DecodeErrorKind::SourceIsDestination:
    case DecodeErrorKind::CannotWriteDestination: break;
  }
  return "não foi possível ler o ROM";
}

std::string RomSummary(const PlainImage& image, std::string_view shown) {
  std::string line;
  if (image.layout == RomLayout::Interleaved) line = "Arquivo intercalado (.smd), lido desintercalado. ";
  if (image.layout == RomLayout::LooksInterleaved) line = "Parece um arquivo intercalado (.smd), mas não é: lido como está. ";
  const auto header = ReadRomHeader(image.bytes);
  if (!header) return line + "Pequeno demais para um cabeçalho de Mega Drive.";
  const RomIdentity identity = IdentifyRom(image.bytes);
  const std::string checksum =
      header->storedChecksum == ComputeChecksum(image.bytes) ? "checksum correto" : "checksum incorreto";
  if (!identity.rom) return line + "ROM desconhecido: " + checksum + ".";
  const std::string name(FindRomCatalogue(identity.rom->baseName)->listText);
  if (identity.how == RomIdentity::How::Probably) line += "provavelmente ";
  line += name;
  if (!header->revision.empty()) line += " (revisão " + header->revision + ")";
  line += ": " + checksum + "; catálogo " + name;
  if (identity.how == RomIdentity::How::Partly) line += " (parcial)";
  if (identity.rom->baseName != shown) line += "; escolha " + name + " na lista de ROMs";
  return line + ".";
}

std::optional<PlainImage> ReadRomImage(DecompressorForm& form) {
  if (form.state.SourceFile.empty()) {
    Inform(form, kPickSourceFirstMessage);
    return std::nullopt;
  }
  auto rom = ReadWholeFile(form.state.SourceFile, kRomImageLimit);
  if (!rom) {
    Inform(form, kUnreadableRomMessage);
    return std::nullopt;
  }
  return ToPlainImage(std::move(*rom));
}

std::optional<std::vector<std::uint8_t>> ReadRomForScan(DecompressorForm& form) {
  auto image = ReadRomImage(form);
  if (!image) return std::nullopt;
  return std::move(image->bytes);
}

std::optional<std::vector<ScanCandidate>> ScanRomInTheWindow(DecompressorForm& form, std::span<const std::uint8_t> rom,
                                                             const ScanProgress& progress) {
  try {
    auto found = ScanRom(rom, {}, progress);
    if (found) return std::move(*found);
    if (found.error().why == ScanStop::Why::TooManyCandidates) Inform(form, kTooManyBlocksMessage);
  } catch (const std::bad_alloc&) {
    Inform(form, kOutOfMemoryMessage);
  }
  return std::nullopt;
}

bool CheckedAtFirst(const ScanCandidate& candidate, const std::vector<std::string>& listed) {
  return candidate.confidence >= kLikelyBlock && !Lists(listed, static_cast<std::int32_t>(candidate.offset), candidate.format);
}

std::string BlocksAddedMessage(std::size_t count) {
  return std::to_string(count) + (count == 1 ? " bloco adicionado" : " blocos adicionados") +
         " às Localizações Conhecidas.";
}

void AddScannedBlocks(DecompressorForm& form, const std::vector<ScanCandidate>& chosen) {
  auto& list = form.controls.CompList;
  if (chosen.empty()) return;
  if (!form.state.CatalogueComplete ||
      static_cast<std::size_t>(list.Count()) + chosen.size() > kMaxCatalogueEntries) {
    Inform(form, kCatalogueNotSavedMessage);
    return;
  }
  std::vector<std::string> added;
  for (const auto& candidate : chosen) {
    added.push_back(FormatEntry(static_cast<std::int32_t>(candidate.offset), candidate.format,
                                ScanEntryDescription(candidate)));
  }
  if (!SaveChange(form, kCatalogueNotSavedMessage,
                  [&](std::vector<std::string>& entries) { entries.insert(entries.end(), added.begin(), added.end()); }))
    return;
  for (const auto& entry : added) list.Append(entry);
  Inform(form, BlocksAddedMessage(added.size()));
}

namespace {

// "Nada diz que um bloco Kosinski começa nesse offset: ... Inserir o bloco novo mesmo assim?"
std::string NotABlockQuestion(const std::string& title, double confidence) {
  const int hundredths = static_cast<int>(confidence * 100 + 0.5);  // "0,12", as Portuguese writes it
  const std::string rating =
      std::to_string(hundredths / 100) + (hundredths % 100 < 10 ? ",0" : ",") + std::to_string(hundredths % 100);
  return "Nada diz que um bloco " + title + " começa nesse offset: as Localizações Conhecidas não o listam, e a procura " +
         (confidence > 0 ? "o avalia em " + rating + " (um bloco tem 0,50 ou mais)." : "não o toma por um bloco.") +
         "\nInserir o bloco novo mesmo assim?";
}

// Why a block was not inserted, in the window's words.
std::string InsertFailureMessage(const ChangeFailure& failure, const std::string& title) {
  switch (failure.kind) {
    case ChangeFailure::Kind::NoOldBlock:
    case ChangeFailure::Kind::NotABlock: return "Não há um bloco " + title + " nesse offset do ROM.";
    case ChangeFailure::Kind::InHeader: return "O bloco nesse offset ocupa o cabeçalho do ROM (0x100 a 0x1FF). Nada foi gravado.";
    case ChangeFailure::Kind::BadData: return "Os dados não podem ser comprimidos em " + title + ".";
    case ChangeFailure::Kind::DoesNotFit:
    case ChangeFailure::Kind::TooLarge:
      return "O bloco novo (" + std::to_string(failure.newSize) + " bytes) não cabe no lugar do antigo (" +
             std::to_string(failure.oldSize) + " bytes). Nada foi gravado.";
    case ChangeFailure::Kind::Unverified: break;
  }
  return "O novo ROM não devolve o bloco como devia. Nada foi gravado.";
}

}  // namespace

void InsertBlockIntoRom(DecompressorForm& form) {
  auto image = ReadRomImage(form);
  if (!image) return;
  auto* rom = &image->bytes;
  const auto offset = ParseOffsetText(form.controls.DisplayLoc.Text(), ChosenRadix(form.controls));
  if (!offset) return Inform(form, kErrorMessage, std::string(kApplicationTitle));
  const Format format = BlockFormat(form);
  auto& services = form.services;
  const auto dataFile = PickFile(services.dialogs, services.messages, FileDialogKind::Open,
                                 {std::string(kInsertDataDialogTitle), std::string(kInsertDataDialogFilter)});
  if (!dataFile) return;
  const auto newRom = PickFile(services.dialogs, services.messages, FileDialogKind::Save,
                               {std::string(kInsertRomDialogTitle), std::string(kInsertRomDialogFilter)});
  ProtectedFiles protect = FilesNeverWritten(form);
  protect.Add(*dataFile, "the data being inserted");
  if (!newRom || !MayReplace(services.messages, *newRom, protect)) return;
  const auto data = ReadWholeFile(*dataFile, InfoOf(format).largestData);
  if (!data) return Inform(form, kUnreadableDataMessage);

  const std::string title(InfoOf(format).title);
  BlockChange change{.format = format, .offset = *offset, .listed = Lists(ListedEntries(form.controls.CompList), *offset, format)};
  auto changed = ReplaceBlock(*rom, *data, change);
  if (!changed && changed.error().kind == ChangeFailure::Kind::NotABlock) {
    const Message question{NotABlockQuestion(title, changed.error().confidence), MessageButtons::YesNo, MessageIcon::None, {}};
    if (services.messages.Show(question) != MessageAnswer::Yes) return;
    change.force = true;
    changed = ReplaceBlock(*rom, *data, change);
  }
  if (!changed) return Inform(form, InsertFailureMessage(changed.error(), title));
  if (!ReplaceFileContents(*newRom, *rom, {&protect})) return Inform(form, kNewRomNotSavedMessage);
  Inform(form, "Bloco inserido no novo ROM: " + std::to_string(changed->newSize) + " bytes no lugar de " +
                   std::to_string(changed->oldSize) + (changed->checksumFixed ? "; o checksum foi corrigido." : ".") +
                   (image->layout == RomLayout::Interleaved ? " O novo ROM é uma imagem plana (não intercalada)." : ""));
}

ProtectedFiles FilesNeverWritten(const DecompressorForm& form) {
  ProtectedFiles files;
  if (!form.state.SourceFile.empty()) files.Add(form.state.SourceFile, "the ROM image itself");
  ProtectCatalogues(files, Catalogues(form));
  return files;
}

}  // namespace quarvel
