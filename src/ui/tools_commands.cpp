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
  if (!format || offered || form.state.FormatClickedSinceEntry || !offset || controls.DisplayLoc.Text() != FormatOffsetText(*offset, ChosenRadix(controls)))
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
    InformBadOffset(form, offset.error());
    return std::nullopt;
  }
  auto block = ReadSourceBlock(form, BlockFormat(form), *offset);
  WarnIfCopyBeforeStart(form.services.messages, block);
  if (!block) {
    Inform(form, "Não foi possível mostrar o bloco: " + ReasonInPortuguese(block.error()) + ".");
    return std::nullopt;
  }
  return std::move(*block);
}

std::string ReasonInPortuguese(const DecodeError& error) {
  const std::string at = HexOffset(error.position);
  const std::string why = FileReasonInPortuguese(error.code);
  switch (error.kind) {
    case DecodeErrorKind::NegativeOffset: return "o offset é negativo";
    case DecodeErrorKind::OffsetBeyondEnd: return "o offset " + at + " fica depois do fim do ROM";
    case DecodeErrorKind::Truncated: return "os dados acabam no byte " + at + ", antes do fim do bloco";
    case DecodeErrorKind::OutputTooLarge: return "o bloco passaria do tamanho que o formato permite (byte " + at + ")";
    case DecodeErrorKind::EmptyResult: return "o bloco não tem nenhum dado";
    case DecodeErrorKind::CopyBeforeStart:
      return "o bloco copia de antes do seu início, no byte " + at + ": o offset deve estar errado";
    case DecodeErrorKind::MalformedCodeTable: return "a tabela de códigos do bloco é inválida no byte " + at;
    case DecodeErrorKind::TooManyTiles: return "o bloco declara mais ladrilhos do que o formato permite";
    case DecodeErrorKind::BadModule: return "um módulo do bloco é inválido no byte " + at;
    case DecodeErrorKind::BadCopy: return "uma cópia do bloco é inválida no byte " + at;
    case DecodeErrorKind::SourceIsDestination: return "o destino é o próprio ROM, que nunca é gravado";
    case DecodeErrorKind::CannotWriteDestination:
      return "não foi possível gravar o arquivo de destino" + (why.empty() ? "" : ": " + why);
    case DecodeErrorKind::CannotOpenSource: break;
  }
  return "não foi possível ler o ROM" + (why.empty() ? "" : ": " + why);
}

std::string FileReasonInPortuguese(const std::error_code& code) {
  if (!code) return {};
  const auto is = [&code](std::errc e) { return code == std::make_error_condition(e); };
  if (is(std::errc::permission_denied) || is(std::errc::operation_not_permitted)) return "não há permissão para isso";
  if (is(std::errc::no_such_file_or_directory)) return "o arquivo ou a pasta não existe";
  if (is(std::errc::is_a_directory)) return "é uma pasta, não um arquivo";
  if (is(std::errc::no_space_on_device)) return "não há espaço no disco";
  if (is(std::errc::read_only_file_system)) return "o disco só pode ser lido";
  if (is(std::errc::file_too_large)) return "o arquivo é grande demais";
  if (is(std::errc::io_error)) return "o disco deu um erro de leitura ou gravação";
  return {};
}

std::string OffsetReasonInPortuguese(OffsetTextError error, std::string_view text, Radix radix) {
  const std::string quoted = "o offset \"" + std::string(text) + "\"";
  switch (error) {
    case OffsetTextError::Empty: return "o offset está vazio";
    case OffsetTextError::NotANumber:
      return quoted + (radix == Radix::Hex ? " não é um número hexadecimal (só 0 a 9 e A a F, sem 0x)"
                                           : " não é um número decimal (só 0 a 9, e um sinal)");
    case OffsetTextError::OutOfRange: break;
  }
  return quoted + (radix == Radix::Hex ? " passa de FFFFFFFF" : " fica fora de -2147483648 a 2147483647");
}

namespace {

// 65536 -> "65.536", as Portuguese writes numbers.
std::string Thousands(std::uint64_t n) {
  const std::string digits = std::to_string(n);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += '.';
    text += digits[i];
  }
  return text;
}

}  // namespace

std::string DataReasonInPortuguese(Format format, std::span<const std::uint8_t> data) {
  const FormatInfo& info = InfoOf(format);
  const std::string title(info.title);
  const std::string has = "os dados têm " + Thousands(data.size()) + (data.size() == 1 ? " byte" : " bytes");
  std::string reason;
  if (data.empty()) {
    reason = "o arquivo de dados está vazio";
  } else if (data.size() > info.largestData) {
    reason = has + "; um bloco " + title + " guarda no máximo " + Thousands(info.largestData);
  } else if (info.tiles && data.size() % kTileBytes != 0) {
    reason = has + ", que não são ladrilhos inteiros de 32 bytes";
  } else if (format == Format::Enigma && data.size() % 2 != 0) {
    reason = has + ", um número ímpar: um mapa Enigma é feito de palavras de 2 bytes";
  }
  if (reason.empty() || data.empty()) return reason;
  const auto block = DecodeBlock(format, data, 0);
  if (block && block->compressedSize + 16 >= data.size())  // the whole file is a block: given by mistake
    reason += "; o arquivo parece ser um bloco já comprimido em " + title + ": escolha os dados descomprimidos";
  return reason;
}

std::string AsDetail(std::string reason) {
  if (reason.empty()) return reason;
  if (reason.front() >= 'a' && reason.front() <= 'z') reason.front() = static_cast<char>(reason.front() - 'a' + 'A');
  return reason + ".";
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
  if (!identity.rom && !HasMegaDriveHeader(image.bytes))
    return line + "ROM desconhecido, sem cabeçalho de Mega Drive (não há \"SEGA\" em 0x100).";
  if (!identity.rom) return line + "ROM desconhecido: " + checksum + ".";
  const std::string name(FindRomCatalogue(identity.rom->baseName)->listText);
  const bool changed = identity.how == RomIdentity::How::Changed;
  if (identity.how == RomIdentity::How::Probably) line += "provavelmente ";
  line += name + (changed ? " alterado" : "");
  if (!header->revision.empty() && HasMegaDriveHeader(image.bytes)) line += " (revisão " + header->revision + ")";
  line += ": ";
  if (changed) {
    line += std::to_string(identity.blocksInPlace) + " de " + std::to_string(identity.rom->blocks.size()) +
            " blocos conhecidos no lugar; ";
  }
  line += checksum + "; catálogo " + name;
  if (identity.rom->baseName != shown) line += "; escolha " + name + " na lista de ROMs";
  return line + ".";
}

DecodeResult<DecodedBlock> ReadSourceBlock(const DecompressorForm& form, Format format, std::int64_t offset) {
  const auto& kept = form.state.SourceImage;
  return kept ? DecodeBlock(format, kept->bytes, offset) : ReadBlock(format, form.state.SourceFile, offset);
}

std::optional<PlainImage> ReadRomImage(DecompressorForm& form) {
  if (form.state.SourceFile.empty()) {
    Inform(form, kPickSourceFirstMessage);
    return std::nullopt;
  }
  if (form.state.SourceImage) return *form.state.SourceImage;
  auto rom = ReadWholeFile(form.state.SourceFile, kRomImageLimit);
  if (!rom) {
    const std::string why = FileReasonInPortuguese(rom.error().code);
    Inform(form, kUnreadableRomMessage, std::nullopt,
           AsDetail(rom.error().code == std::errc::file_too_large ? "o arquivo tem mais de 64 MiB, mais do que um ROM"
                                                                  : why));
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

std::vector<std::string> TileEntries(const ListBox& list) {
  std::vector<std::string> entries;
  for (const std::string& entry : ListedEntries(list))
    if (const auto format = EntryFormat(entry); format && *format != Format::Enigma && *format != Format::Saxman)
      entries.push_back(entry);  // a map or a song holds no tiles
  return entries;
}

std::optional<std::size_t> NearestTileEntry(const std::vector<std::string>& entries, std::int32_t mapOffset) {
  std::optional<std::size_t> after, before;
  std::int32_t afterAt = 0, beforeAt = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto offset = ParseOffsetText(EntryOffsetText(entries[i]), Radix::Hex);
    if (!offset) continue;
    if (*offset > mapOffset && (!after || *offset < afterAt)) {
      after = i;
      afterAt = *offset;
    } else if (*offset < mapOffset && (!before || *offset > beforeAt)) {
      before = i;
      beforeAt = *offset;
    }
  }
  return after ? after : before;
}

std::optional<std::vector<std::uint8_t>> ReadMapTiles(DecompressorForm& form, const MapTilesSource& source) {
  if (!source.file.empty()) {
    auto tiles = ReadRegularFile(source.file, InfoOf(Format::Nemesis).largestData);  // remembered: never a FIFO
    if (tiles) return std::move(*tiles);
    const bool tooLarge = tiles.error().code == std::errc::file_too_large;
    Inform(form, kMapTilesUnreadableMessage, std::nullopt,
           AsDetail(tooLarge ? "o arquivo tem mais de 8.192 ladrilhos" : FileReasonInPortuguese(tiles.error().code)));
    return std::nullopt;
  }
  auto block = ReadSourceBlock(form, source.format, source.offset);
  if (block) return std::move(block->bytes);
  Inform(form, kMapTilesUnreadableMessage, std::nullopt, AsDetail(ReasonInPortuguese(block.error())));
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

// "O bloco antigo tem 525 ladrilhos e os dados novos 528. ... Inserir mesmo assim?"
std::string TileCountQuestion(const ChangeFailure& failure) {
  return "O bloco antigo tem " + Thousands(failure.oldTiles) + " ladrilhos e os dados novos " + Thousands(failure.newTiles) +
         ". No jogo, ladrilhos a mais escrevem sobre os que vêm depois deles na memória de vídeo, e ladrilhos a menos "
         "deixam os antigos lá.\nInserir o bloco novo mesmo assim, com " + Thousands(failure.newTiles) + " ladrilhos?";
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
    case ChangeFailure::Kind::TileCountChanged:
      return "O bloco antigo tem " + Thousands(failure.oldTiles) + " ladrilhos e os dados novos " + Thousands(failure.newTiles) + ".";
    case ChangeFailure::Kind::Unverified: break;
  }
  return "O novo ROM não devolve o bloco como devia. Nada foi gravado.";
}

// Why the old block could not be replaced, beyond what the message says.
std::string InsertFailureDetail(std::span<const std::uint8_t> rom, std::span<const std::uint8_t> data,
                                const BlockChange& change, const ChangeFailure& failure) {
  if (failure.kind == ChangeFailure::Kind::BadData) return AsDetail(DataReasonInPortuguese(change.format, data));
  if (failure.kind != ChangeFailure::Kind::NoOldBlock) return {};
  const auto old = DecodeBlock(change.format, rom, change.offset);
  return old ? std::string() : AsDetail(ReasonInPortuguese(old.error()));
}

}  // namespace

std::string PngReasonInPortuguese(const PngProblem& problem) {
  using Kind = PngProblem::Kind;
  const std::string pixel = "o pixel em (" + std::to_string(problem.x) + ", " + std::to_string(problem.y) + ")";
  const std::string size = std::to_string(problem.width) + " x " + std::to_string(problem.height) + " pixels";
  const std::string colour = "(" + std::to_string(problem.colour.r) + ", " + std::to_string(problem.colour.g) + ", " +
                             std::to_string(problem.colour.b) + ")";
  switch (problem.kind) {
    case Kind::NotPng: return "o arquivo não é uma imagem PNG";
    case Kind::TooMuchData: return "a imagem tem mais dados do que seus " + size + " pedem";
    case Kind::Unreadable: return "a imagem não pode ser lida";
    case Kind::NotWholeTiles:
      return "a imagem tem " + size + "; " + (problem.zoom > 1 ? "com zoom " + std::to_string(problem.zoom) + " " : "") +
             "os ladrilhos pedem largura e altura múltiplas de " + std::to_string(8 * problem.zoom);
    case Kind::TooManyPixels: return "a imagem tem " + size + ", mais ladrilhos do que um bloco guarda";
    case Kind::PartlyTransparent: return pixel + " é parcialmente transparente; um pixel é uma cor, ou transparente";
    case Kind::Wide16Bits: return pixel + " tem uma cor de 16 bits que nenhuma cor de 8 bits dá";
    case Kind::NoPalette: return "a imagem tem cores, não índices de cor, e não há paleta";
    case Kind::IndexTooHigh: return pixel + " tem o índice de cor " + std::to_string(problem.index) + "; os ladrilhos usam de 0 a 63";
    case Kind::MixedCell:
      return "os " + std::to_string(problem.zoom) + " x " + std::to_string(problem.zoom) + " pixels em (" +
             std::to_string(problem.x) + ", " + std::to_string(problem.y) +
             ") não são de uma só cor, e a imagem é lida com zoom " + std::to_string(problem.zoom);
    case Kind::TileCountTooLarge:
      return "a imagem guarda " + Thousands(problem.tilesHeld) + " ladrilhos, menos que os " + Thousands(problem.tileCount) + " pedidos";
    case Kind::NoSuchLine:
      return "a imagem pede a linha " + std::to_string(problem.line.value_or(0)) + " da paleta, e a paleta tem " +
             std::to_string(problem.lines) + (problem.lines == 1 ? " linha" : " linhas");
    case Kind::NoLineHoldsTile:
      return "o ladrilho " + std::to_string(problem.tile) + " usa a cor " + colour +
             ", que nenhuma linha da paleta tem junto com as outras cores do ladrilho";
    case Kind::NotInPalette: break;
  }
  return pixel + " tem a cor " + colour + ", que " +
         (problem.line ? "a linha " + std::to_string(*problem.line) + " da paleta" : std::string("a paleta mostrada na visualização")) +
         " não tem (nem a " + std::to_string(kNearestColourReach) + " por canal)";
}

void InformBadOffset(DecompressorForm& form, OffsetTextError error) {
  Inform(form, kErrorMessage, std::string(kApplicationTitle),
         AsDetail(OffsetReasonInPortuguese(error, form.controls.DisplayLoc.Text(), ChosenRadix(form.controls))));
}

namespace {

// How a picture put back was read, and what it says that its tiles do not bear out, in
// the window's words: " Imagem lida com zoom 2 (do layout guardado na imagem), 525 ladrilhos."
std::string PictureReadInPortuguese(const ImportedTiles& read) {
  const auto from = [](ReadingChoice choice, bool zoom) -> std::string {
    switch (choice) {
      case ReadingChoice::Layout: return " (do layout guardado na imagem)";
      case ReadingChoice::Expected: return zoom ? " (o que dá os ladrilhos do bloco antigo)" : " (os do bloco antigo)";
      case ReadingChoice::Picture: return zoom ? " (o maior em que cada célula tem uma só cor)" : " (todos os da imagem)";
      case ReadingChoice::Given: break;
    }
    return {};
  };
  std::string text = " Imagem lida com zoom " + std::to_string(read.zoom) + from(read.zoomFrom, true) + ", " +
                     Thousands(read.tileCount) + (read.tileCount == 1 ? " ladrilho" : " ladrilhos") +
                     from(read.countFrom, false) + ".";
  if (read.blankTilesAtEnd != 0)
    text += " A última linha da imagem termina em " + Thousands(read.blankTilesAtEnd) + " ladrilhos em branco, tomados como ladrilhos.";
  for (const PictureWarning& warning : read.warnings) {
    switch (warning.kind) {
      case PictureWarning::Kind::SharedColour: {
        std::string indices;
        for (std::size_t i = 0; i < warning.indices.size(); ++i)
          indices += (i == 0 ? "o índice " : " e o índice ") + std::to_string(warning.indices[i]);
        text += " A cor (" + std::to_string(warning.colour.r) + ", " + std::to_string(warning.colour.g) + ", " +
                std::to_string(warning.colour.b) + ") é " + indices + " da linha " + std::to_string(warning.line) +
                " da paleta; foi tomado o índice " + std::to_string(warning.indices.front()) + ".";
        break;
      }
      case PictureWarning::Kind::FoldedIndices:
        text += " Os índices de cor 16 a 63 foram tomados como 0 a 15 da sua linha da paleta.";
        break;
      case PictureWarning::Kind::TilesLeftOut:
        text += " Os ladrilhos da imagem depois dos primeiros " + Thousands(warning.count) + " (de " + Thousands(warning.held) +
                ") não estão todos em branco e ficaram de fora.";
        break;
      case PictureWarning::Kind::LayoutIgnored:
        text += " O layout guardado na imagem é de uma imagem de outro tamanho: ela foi lida sem ele.";
        break;
    }
  }
  return text;
}

}  // namespace

void InsertBlockIntoRom(DecompressorForm& form) {
  auto image = ReadRomImage(form);
  if (!image) return;
  auto* rom = &image->bytes;
  const auto offset = ParseOffsetText(form.controls.DisplayLoc.Text(), ChosenRadix(form.controls));
  if (!offset) return InformBadOffset(form, offset.error());
  const Format format = BlockFormat(form);
  auto& services = form.services;
  const auto dataFile = PickFile(services.dialogs, services.messages, FileDialogKind::Open,
                                 {std::string(kInsertDataDialogTitle), std::string(kInsertDataDialogFilter)});
  if (!dataFile) return;
  auto data = ReadWholeFile(*dataFile, kRomImageLimit);
  if (!data) {
    return Inform(form, kUnreadableDataMessage, std::nullopt,
                  AsDetail(data.error().code == std::errc::file_too_large ? "o arquivo tem mais de 64 MiB"
                                                                          : FileReasonInPortuguese(data.error().code)));
  }
  std::string pictureRead;
  const bool fromPicture = LooksLikePng(*data);
  if (fromPicture) {
    if (format == Format::Enigma) return Inform(form, kMapIsNoPictureMessage);
    if (format == Format::Saxman) return Inform(form, kSongIsNoPictureMessage);
    const ShownLines shown = form.shownPalette();
    PictureReading how{.match = ColourMatch::Nearest, .firstLine = shown.line};
    if (const auto old = DecodeBlock(format, *rom, *offset)) how.expectedTiles = (old->bytes.size() + kTileBytes - 1) / kTileBytes;
    auto tiles = TilesFromPng(*data, shown.lines, how);
    if (!tiles) return Inform(form, kPngNotImportedMessage, std::nullopt, AsDetail(PngReasonInPortuguese(tiles.error())));
    pictureRead = PictureReadInPortuguese(*tiles);
    *data = std::move(tiles->tiles);
  }
  const std::string title(InfoOf(format).title);
  if (const std::string reason = DataReasonInPortuguese(format, *data); !reason.empty())  // before a name is asked
    return Inform(form, "Os dados não podem ser comprimidos em " + title + ".", std::nullopt, AsDetail(reason));
  const auto newRom = PickFile(services.dialogs, services.messages, FileDialogKind::Save,
                               {std::string(kInsertRomDialogTitle), std::string(kInsertRomDialogFilter)});
  ProtectedFiles protect = FilesNeverWritten(form);
  protect.Add(*dataFile, "the data being inserted");
  if (!newRom || !MayReplace(services.messages, *newRom, protect)) return;

  BlockChange change{.format = format,
                     .offset = *offset,
                     .listed = Lists(ListedEntries(form.controls.CompList), *offset, format),
                     .fromPicture = fromPicture};
  const auto ask = [&services](std::string question) {
    return services.messages.Show({std::move(question), MessageButtons::YesNo, MessageIcon::None, {}}) == MessageAnswer::Yes;
  };
  auto changed = ReplaceBlock(*rom, *data, change);
  while (!changed) {  // what the user may allow, asked one thing at a time
    const ChangeFailure& failure = changed.error();
    if (failure.kind == ChangeFailure::Kind::NotABlock && !change.force) {
      if (!ask(NotABlockQuestion(title, failure.confidence))) return;
      change.force = true;
    } else if (failure.kind == ChangeFailure::Kind::TileCountChanged && !change.resize) {
      if (!ask(TileCountQuestion(failure))) return;
      change.resize = true;
    } else {
      break;
    }
    changed = ReplaceBlock(*rom, *data, change);
  }
  if (!changed) return Inform(form, InsertFailureMessage(changed.error(), title), std::nullopt, InsertFailureDetail(*rom, *data, change, changed.error()));
  if (const auto saved = ReplaceFileContents(*newRom, *rom, {&protect}); !saved)
    return Inform(form, kNewRomNotSavedMessage, std::nullopt, AsDetail(FileReasonInPortuguese(saved.error().code)));
  Inform(form, "Bloco inserido no novo ROM: " + Thousands(changed->newSize) + " bytes no lugar de " +
                   Thousands(changed->oldSize) + " (descomprimido: " + Thousands(changed->newDecodedSize) + " bytes, antes " +
                   Thousands(changed->oldDecodedSize) + ")" + (changed->checksumFixed ? "; o checksum foi corrigido." : ".") +
                   (image->layout == RomLayout::Interleaved ? " O novo ROM é uma imagem plana (não intercalada)." : "") +
                   pictureRead);
}

std::filesystem::path ProposedPicture(const PictureOrigin& origin) {
  if (origin.rom.empty()) return {};
  return origin.rom.parent_path() / PathFromUtf8(HexOffset(origin.offset) + "-" + std::string(FormatName(origin.format)) + ".png");
}

ProtectedFiles FilesNeverWritten(const DecompressorForm& form) {
  ProtectedFiles files;
  if (!form.state.SourceFile.empty()) files.Add(form.state.SourceFile, "the ROM image itself");
  ProtectCatalogues(files, Catalogues(form));
  return files;
}

}  // namespace quarvel
