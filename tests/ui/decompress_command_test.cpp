#include "ui/decompress_command.h"

#include <gtest/gtest.h>

#include "catalogue/catalogue_file.h"
#include "form_fixture.h"
#include "support/bytes.h"
#include "ui/window_arguments.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;
using testing::FormFixture;

struct DriverCall {
  std::string format;
  fs::path source;
  fs::path destination;
  std::int32_t offset;
  bool operator==(const DriverCall&) const = default;
};

const Message kMissingFiles{std::string(kMissingFilesMessage), MessageButtons::Ok, MessageIcon::Information, {}};
const Message kDone{std::string(kDoneMessage), MessageButtons::Ok, MessageIcon::Information, {}};
// The error box, with why in its details.
Message Error(std::string detail) {
  return {std::string(kErrorMessage), MessageButtons::Ok, MessageIcon::Information, std::string(kApplicationTitle),
          std::move(detail)};
}
const Message kWeirdOffset{std::string(kWeirdOffsetMessage), MessageButtons::Ok, MessageIcon::None, {}};

// The form with its driver recording its calls and answering with `outcome`.
class DecompressCommand : public ::testing::Test {
 protected:
  DecompressCommand() {
    f.form.driver = [this](Format format, const fs::path& source, const fs::path& destination, std::int32_t offset) {
      calls.push_back({std::string(FormatName(format)), source, destination, offset});
      return outcome;
    };
  }

  void PickBoth() {
    f.form.state.SourceFile = "/roms/sonic.bin";
    f.form.state.DestFile = "/out/art.dat";
  }

  FormFixture f;
  std::vector<DriverCall> calls;
  DecodeResult<Extraction> outcome = Extraction{3, 8, {}};
};

TEST_F(DecompressCommand, AsksForBothFilesBeforeLookingAtTheOffset) {
  struct Picked {
    const char* source;
    const char* destination;
  };
  for (const auto& picked : {Picked{"", ""}, Picked{"/roms/sonic.bin", ""}, Picked{"", "/out/art.dat"}}) {
    FormFixture f;
    f.form.state.SourceFile = picked.source;
    f.form.state.DestFile = picked.destination;
    f.form.state.DataOffset = 77;
    f.displayLoc.SetText("not an offset");
    CmdDescomprime_Click(f.form);
    EXPECT_EQ(f.messages.shown, std::vector<Message>{kMissingFiles});
    EXPECT_EQ(f.form.state.DataOffset, 77);
  }
}

TEST_F(DecompressCommand, ParsesTheOffsetInTheChosenRadixAndCallsKosinski) {
  struct Case {
    bool hex;
    const char* text;
    std::int32_t offset;
  };
  for (const auto& c : {Case{true, "1A2B", 6699}, Case{false, "1000", 1000}, Case{true, "ffffffff", -1}}) {
    calls.clear();
    f.messages.shown.clear();
    PickBoth();
    (c.hex ? f.optHex : f.optDec).Select();
    f.displayLoc.SetText(c.text);
    CmdDescomprime_Click(f.form);
    EXPECT_EQ(calls, (std::vector<DriverCall>{{"kosinski", "/roms/sonic.bin", "/out/art.dat", c.offset}}));
    EXPECT_EQ(f.form.state.DataOffset, c.offset);
    EXPECT_EQ(f.messages.shown, std::vector<Message>{kDone});
  }
}

// "Descomprimir como": the same command in a format the option buttons do not offer; and
// "Descomprime" of an entry in such a format, while the offset field shows its offset.
TEST_F(DecompressCommand, DecompressesAsTheFormatAskedFor) {
  PickBoth();
  f.displayLoc.SetText("3C00");
  DecompressAs(f.form, Format::Enigma);
  EXPECT_EQ(calls, (std::vector<DriverCall>{{"enigma", "/roms/sonic.bin", "/out/art.dat", 0x3C00}}));
  EXPECT_EQ(f.messages.shown, std::vector<Message>{kDone});
  f.compList.Append("0001EB70 - <E> - map");
  f.compList.SetSelectedIndex(0);
  CmdDescomprime_Click(f.form);
  f.displayLoc.SetText("1EB72");
  CmdDescomprime_Click(f.form);
  EXPECT_EQ(calls, (std::vector<DriverCall>{{"enigma", "/roms/sonic.bin", "/out/art.dat", 0x3C00},
                                            {"enigma", "/roms/sonic.bin", "/out/art.dat", 0x1EB70},
                                            {"kosinski", "/roms/sonic.bin", "/out/art.dat", 0x1EB72}}));
}

TEST_F(DecompressCommand, AnOffsetThatDoesNotParseCallsNoDriver) {
  struct Case {
    bool hex;
    const char* text;
    const char* detail;
  };
  for (const auto& c : {Case{true, " ", "O offset está vazio."},
                        Case{true, "0x10", "O offset \"0x10\" não é um número hexadecimal (só 0 a 9 e A a F, sem 0x)."},
                        Case{true, "100000000", "O offset \"100000000\" passa de FFFFFFFF."},
                        Case{false, "1A", "O offset \"1A\" não é um número decimal (só 0 a 9, e um sinal)."}}) {
    f.messages.shown.clear();
    PickBoth();
    (c.hex ? f.optHex : f.optDec).Select();
    f.form.state.DataOffset = 42;
    f.displayLoc.SetText(c.text);
    CmdDescomprime_Click(f.form);
    EXPECT_TRUE(calls.empty()) << c.text;
    EXPECT_EQ(f.form.state.DataOffset, 42) << c.text;
    EXPECT_EQ(f.messages.shown, std::vector<Message>{Error(c.detail)}) << c.text;
  }
}

TEST_F(DecompressCommand, NemesisChosenCallsNemesisOnly) {
  PickBoth();
  f.optNem.Select();
  f.displayLoc.SetText("10");
  CmdDescomprime_Click(f.form);
  EXPECT_EQ(calls, (std::vector<DriverCall>{{"nemesis", "/roms/sonic.bin", "/out/art.dat", 16}}));
}

// The error, and in its details why, in Portuguese.
TEST_F(DecompressCommand, ADriverFailureIsTheErrorWithItsReason) {
  const auto code = [](std::errc e) { return std::make_error_code(e); };
  const std::pair<DecodeError, const char*> cases[] = {
      {{DecodeErrorKind::CannotOpenSource, 0, "gone", code(std::errc::no_such_file_or_directory)},
       "Não foi possível ler o ROM: o arquivo ou a pasta não existe."},
      {{DecodeErrorKind::OffsetBeyondEnd, 0x80000, "past"}, "O offset 0x80000 fica depois do fim do ROM."},
      {{DecodeErrorKind::Truncated, 0x1E, "short"}, "Os dados acabam no byte 0x1E, antes do fim do bloco."},
      {{DecodeErrorKind::CannotWriteDestination, 0, "denied", code(std::errc::permission_denied)},
       "Não foi possível gravar o arquivo de destino: não há permissão para isso."},
      {{DecodeErrorKind::CannotWriteDestination, 0, "full", code(std::errc::no_space_on_device)},
       "Não foi possível gravar o arquivo de destino: não há espaço no disco."},
  };
  PickBoth();
  for (const auto& [error, detail] : cases) {
    f.messages.shown.clear();
    outcome = Fail(error);
    CmdDescomprime_Click(f.form);
    EXPECT_EQ(f.messages.shown, std::vector<Message>{Error(detail)});
  }
  EXPECT_EQ(f.form.state.DataOffset, 0);
}

TEST_F(DecompressCommand, ACopyBeforeTheStartWarnsThenFails) {
  PickBoth();
  outcome = Fail(DecodeError{DecodeErrorKind::CopyBeforeStart, 0x2A, "copies from before its start"});
  CmdDescomprime_Click(f.form);
  EXPECT_EQ(f.messages.shown,
            (std::vector<Message>{kWeirdOffset, Error("O bloco copia de antes do seu início, no byte 0x2A: o offset "
                                                      "deve estar errado.")}));
}

TEST_F(DecompressCommand, ACatalogueIsNeverTheDestination) {
  testing::TempDir dir;
  f.programDirectory.directory = dir.path();
  ASSERT_TRUE(SaveCatalogue(dir / "Custom.dat", {"00000010 - <K> - mine"}));
  testing::WriteFile(dir / "rom.bin", testing::Bytes(16, 0));
  f.form.state.SourceFile = dir / "rom.bin";
  for (const fs::path& destination : {dir / "Custom.dat", dir / "Sonic1.dat", dir / "rom.bin"}) {
    f.form.state.DestFile = destination;
    CmdDescomprime_Click(f.form);
  }
  EXPECT_TRUE(calls.empty());
  const Message catalogue = Error("O destino é um arquivo de localizações, que só muda pelas Localizações Conhecidas.");
  EXPECT_EQ(f.messages.shown,
            (std::vector<Message>{catalogue, catalogue, Error("O destino é o próprio ROM, que nunca é gravado.")}));
  EXPECT_EQ(LoadCatalogue(dir / "Custom.dat").entries, std::vector<std::string>{"00000010 - <K> - mine"});
}

TEST_F(DecompressCommand, UsesThePickedPathsNotTheEditedTexts) {
  f.dialogs.answers = {fs::path("/roms/sonic.bin"), fs::path("/out/art.dat")};
  CmdOrigem_Click(f.form);
  CmdDestino_Click(f.form);
  f.text2.SetText("/somewhere/else.bin");
  f.text3.SetText("");
  CmdDescomprime_Click(f.form);
  CmdDescomprime_Click(f.form);
  const DriverCall expected{"kosinski", "/roms/sonic.bin", "/out/art.dat", 0};
  EXPECT_EQ(calls, (std::vector<DriverCall>{expected, expected}));
  EXPECT_EQ(f.messages.shown, (std::vector<Message>{kDone, kDone}));
}

TEST(FilePickers, AskWithTheirTitlesAndFiltersAndShowThePath) {
  FormFixture f;
  f.dialogs.answers = {fs::path(u8"/roms/Sonic ção.bin"), fs::path(u8"/out/saída.dat")};
  CmdOrigem_Click(f.form);
  CmdDestino_Click(f.form);
  ASSERT_EQ(f.dialogs.requests.size(), 2u);
  EXPECT_FALSE(f.dialogs.requests[0].save);
  EXPECT_EQ(f.dialogs.requests[0].request, (FileDialogRequest{"Por favor! Selecione um Rom.", std::string(kSourceDialogFilter), "roms"}));
  EXPECT_TRUE(kSourceDialogFilter.starts_with("Rom Binário(*.BIN)|*.BIN|"));  // the ROM's own filter comes first
  EXPECT_TRUE(kSourceDialogFilter.ends_with("|Todos os arquivos (*)|*"));
  EXPECT_TRUE(f.dialogs.requests[1].save);
  EXPECT_EQ(f.dialogs.requests[1].request, (FileDialogRequest{"Selecione o Nome do Arquivo de Dados.", "(*.DAT)|*.DAT"}));
  EXPECT_EQ(f.form.state.SourceFile, fs::path(u8"/roms/Sonic ção.bin"));
  EXPECT_EQ(f.text2.Text(), "/roms/Sonic ção.bin");
  EXPECT_EQ(f.form.state.DestFile, fs::path(u8"/out/saída.dat"));
  EXPECT_EQ(f.text3.Text(), "/out/saída.dat");
}

TEST(FilePickers, CancellingKeepsThePickersOwnPath) {
  FormFixture f;
  f.dialogs.answers = {fs::path("/roms/a.bin"), std::nullopt, std::nullopt, std::nullopt};
  CmdOrigem_Click(f.form);
  CmdDestino_Click(f.form);  // cancelled: must not take the source path
  CmdOrigem_Click(f.form);   // cancelled: keeps /roms/a.bin
  EXPECT_EQ(f.form.state.SourceFile, "/roms/a.bin");
  EXPECT_EQ(f.text2.Text(), "/roms/a.bin");
  EXPECT_TRUE(f.form.state.DestFile.empty());
  EXPECT_EQ(f.text3.Text(), "");
}

TEST(FilePickers, ADialogThatFailsIsReportedAndChangesNothing) {
  FormFixture f;
  f.form.state.SourceFile = "/roms/a.bin";
  f.dialogs.broken = true;
  CmdOrigem_Click(f.form);
  CmdDestino_Click(f.form);
  const Message failed{std::string(kDialogFailedMessage), MessageButtons::Ok, MessageIcon::Information, {}};
  EXPECT_EQ(f.messages.shown, (std::vector<Message>{failed, failed}));
  EXPECT_EQ(f.form.state.SourceFile, "/roms/a.bin");
  EXPECT_TRUE(f.form.state.DestFile.empty());
}

// `quarvel [FILE]`: --help and --version before anything, one file, "--" before a name
// that looks like an option.
TEST(WindowArguments, TellTheFileOrWhatToPrint) {
  using Args = std::vector<std::string>;
  EXPECT_EQ(ProgramInformation({"rom.bin", "--version", "--help"}, "2.1.0"), "quarvel 2.1.0\n");
  EXPECT_TRUE(ProgramInformation({"-h"}, "2.1.0")->starts_with("Uso: quarvel [ARQUIVO]\n"));
  EXPECT_FALSE(ProgramInformation({"--", "--help"}, "2.1.0"));
  struct Case {
    Args arguments;
    std::optional<fs::path> file;
    const char* error;  // the start of it, or none
  };
  for (const auto& c : {Case{{}, std::nullopt, nullptr}, Case{{"sonic.bin"}, fs::path("sonic.bin"), nullptr},
                        Case{{"--", "-odd.bin"}, fs::path("-odd.bin"), nullptr},
                        Case{{"-x"}, std::nullopt, "opção desconhecida: -x\n"},
                        Case{{"a.bin", "b.bin"}, std::nullopt, "só um arquivo pode ser aberto"}}) {
    const auto file = WindowFile(c.arguments);
    ASSERT_EQ(file.has_value(), c.error == nullptr) << c.arguments.size();
    EXPECT_TRUE(file ? *file == c.file : file.error().starts_with(c.error)) << c.arguments.size();
  }
}

// The real drivers behind the command, on files.
TEST(DecompressWithRealDrivers, ExtractsBothFormats) {
  testing::TempDir dir;
  // Kosinski at 2, Nemesis (one tile of 1s) at 10.
  testing::WriteFile(dir / "rom.bin", testing::Hex("EE EE  17 00 61 62 63 00 F0 00  00 01 81 71 00 FF 00"));
  FormFixture f;
  f.form.state.SourceFile = dir / "rom.bin";
  f.form.state.DestFile = dir / "out.dat";
  f.displayLoc.SetText("2");
  CmdDescomprime_Click(f.form);
  EXPECT_EQ(f.messages.shown, std::vector<Message>{kDone});
  EXPECT_EQ(testing::ToHex(testing::ReadFile(dir / "out.dat")), "61 62 63");

  f.messages.shown.clear();
  f.optNem.Select();
  f.displayLoc.SetText("A");
  f.form.state.DestFile = dir / "nemesis.dat";
  CmdDescomprime_Click(f.form);
  EXPECT_EQ(f.messages.shown, std::vector<Message>{kDone});
  EXPECT_EQ(testing::ReadFile(dir / "nemesis.dat"), testing::Bytes(32, 0x11));

  f.messages.shown.clear();
  f.displayLoc.SetText("B");  // not a block: the error, and the destination as it was
  CmdDescomprime_Click(f.form);
  EXPECT_EQ(f.messages.shown, std::vector<Message>{Error("Os dados acabam no byte 0x11, antes do fim do bloco.")});
  EXPECT_EQ(testing::ReadFile(dir / "nemesis.dat"), testing::Bytes(32, 0x11));
}

}  // namespace
}  // namespace quarvel
