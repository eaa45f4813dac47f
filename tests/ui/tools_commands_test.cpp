#include "formats/format_table.h"
#include "ui/tools_commands.h"

#include <gtest/gtest.h>

#include "catalogue/catalogue_file.h"
#include "form_fixture.h"
#include "support/bytes.h"
#include "support/png.h"
#include "support/rom_header.h"
#include "encoders/nemesis_compressor.h"
#include "ui/decompress_command.h"

#include <sys/stat.h>

#include <thread>

namespace quarvel {
namespace {

namespace fs = std::filesystem;

using testing::Info;

class Tools : public ::testing::Test {
 protected:
  Tools() {
    f.programDirectory.directory = dir.path();
    // Kosinski "abc" at 2, a one-tile Nemesis block at 10, a stop at a copy before the start at 17.
    testing::WriteFile(dir / "rom.bin", testing::Hex("EE EE  17 00 61 62 63 00 F0 00  00 01 81 71 00 FF 00  41 00 61 FE 00 F0 00"));
    f.form.state.SourceFile = dir / "rom.bin";
    f.form.state.DestFile = dir / "out.dat";
  }

  testing::TempDir dir;
  testing::FormFixture f;
};

TEST_F(Tools, PreviewDecodesTheBlockAtTheOffsetAndWritesNothing) {
  f.displayLoc.SetText("2");
  auto block = DecodeForPreview(f.form);
  ASSERT_TRUE(block);
  EXPECT_EQ(testing::ToHex(block->bytes), "61 62 63");
  f.optNem.Select();
  f.optDec.Select();
  f.displayLoc.SetText("10");
  block = DecodeForPreview(f.form);
  ASSERT_TRUE(block);
  EXPECT_EQ(block->bytes, testing::Bytes(32, 0x11));
  EXPECT_TRUE(f.messages.shown.empty());
  EXPECT_FALSE(fs::exists(dir / "out.dat"));
}

// An entry of a format the option buttons do not offer is previewed in its own format
// while the offset field shows its offset.
TEST_F(Tools, PreviewTakesTheFormatOfAnEntryTheOptionsDoNotOffer) {
  f.compList.Append("00000030 - <M> - art");
  f.compList.SetSelectedIndex(0);
  EXPECT_EQ(BlockFormat(f.form), Format::KosinskiModuled);
  f.displayLoc.SetText("31");
  EXPECT_EQ(BlockFormat(f.form), Format::Kosinski);
  f.compList.SetSelectedIndex(0);
  FormatOption_Click(f.form);  // "Kosinski" clicked after the entry: the user's last choice wins
  EXPECT_EQ(BlockFormat(f.form), Format::Kosinski);
}

// "Inserir bloco no ROM...": a new ROM with the block replaced, the ROM as it was; a
// block too large for its room is refused with both sizes and nothing written. A block
// the catalogue shown does not list, and that the scan does not take for one, is
// replaced only when the user says so; an existing file only when the user says so.
TEST_F(Tools, InsertsABlockIntoANewRom) {
  const auto rom = testing::ReadFile(dir / "rom.bin");
  testing::WriteFile(dir / "small.dat", testing::Bytes{'x', 'y'});
  f.displayLoc.SetText("2");
  const Message notABlock{"Nada diz que um bloco Kosinski começa nesse offset: as Localizações Conhecidas não o listam, "
                          "e a procura não o toma por um bloco.\nInserir o bloco novo mesmo assim?",
                          MessageButtons::YesNo, MessageIcon::None, std::nullopt};
  f.dialogs.answers = {dir / "small.dat", dir / "new.bin"};
  f.messages.answers = {MessageAnswer::No};
  InsertBlockIntoRom(f.form);
  EXPECT_EQ(f.messages.shown, std::vector<Message>{notABlock});
  EXPECT_FALSE(fs::exists(dir / "new.bin"));

  f.messages.shown.clear();
  f.compList.Append("00000002 - <K> - abc");
  f.dialogs.answers = {dir / "small.dat", dir / "new.bin"};
  InsertBlockIntoRom(f.form);
  EXPECT_EQ(f.messages.shown,
            std::vector<Message>{Info("Bloco inserido no novo ROM: 7 bytes no lugar de 8 (descomprimido: 2 bytes, antes 3).")});
  EXPECT_EQ(testing::ToHex(DecodeBlock(Format::Kosinski, testing::ReadFile(dir / "new.bin"), 2)->bytes), "78 79");

  f.messages.shown.clear();
  testing::WriteFile(dir / "large.dat", testing::Bytes{'a', 'b', 'c', 'd', 'e', 'f'});
  f.dialogs.answers = {dir / "large.dat", dir / "new.bin"};
  f.messages.answers = {MessageAnswer::No};
  InsertBlockIntoRom(f.form);  // new.bin is there: not replaced
  EXPECT_EQ(f.messages.shown, (std::vector<Message>{{"new.bin já existe.\nDeseja substituí-lo?", MessageButtons::YesNo,
                                                     MessageIcon::None, std::string(kReplaceTitle)}}));
  f.messages.shown.clear();
  f.dialogs.answers = {dir / "large.dat", dir / "other.bin"};
  InsertBlockIntoRom(f.form);
  EXPECT_EQ(f.messages.shown,
            std::vector<Message>{Info("O bloco novo (11 bytes) não cabe no lugar do antigo (8 bytes). Nada foi gravado.")});
  EXPECT_FALSE(fs::exists(dir / "other.bin"));
  EXPECT_EQ(testing::ReadFile(dir / "rom.bin"), rom);
  EXPECT_EQ(testing::ToHex(DecodeBlock(Format::Kosinski, testing::ReadFile(dir / "new.bin"), 2)->bytes), "78 79");
}

TEST_F(Tools, PreviewTellsWhatIsMissingOrWrong) {
  Message error = Info(kErrorMessage, std::string(kApplicationTitle));
  error.detail = "O offset \"xyz\" não é um número hexadecimal (só 0 a 9 e A a F, sem 0x).";
  f.displayLoc.SetText("xyz");
  EXPECT_FALSE(DecodeForPreview(f.form));
  f.displayLoc.SetText("100");  // past the end
  EXPECT_FALSE(DecodeForPreview(f.form));
  f.displayLoc.SetText("11");  // a copy before the start: the warning, then why nothing is shown
  EXPECT_FALSE(DecodeForPreview(f.form));
  f.form.state.SourceFile.clear();
  EXPECT_FALSE(DecodeForPreview(f.form));
  const Message weird{std::string(kWeirdOffsetMessage), MessageButtons::Ok, MessageIcon::None, {}};
  const Message pastTheEnd = Info("Não foi possível mostrar o bloco: o offset 0x100 fica depois do fim do ROM.");
  const Message wrongOffset = Info("Não foi possível mostrar o bloco: o bloco copia de antes do seu início, no byte 0x14: "
                                   "o offset deve estar errado.");
  EXPECT_EQ(f.messages.shown, (std::vector<Message>{error, pastTheEnd, weird, wrongOffset, Info(kPickSourceFirstMessage)}));
}

TEST_F(Tools, ScannedBlocksAreAddedWithOneRewrite) {
  ASSERT_TRUE(SaveCatalogue(dir / "Custom.dat", {"00000010 - <K> - old"}));
  f.romList.SetSelectedIndex(8);
  const std::vector<ScanCandidate> chosen = {{0x1000, Format::Kosinski, 1280, 300, 0.9},
                                             {0x2000, Format::Nemesis, 384, 200, 1.0}};
  AddScannedBlocks(f.form, chosen);
  const std::vector<std::string> expected = {"00000010 - <K> - old", "00001000 - <K> - Kosinski, 1280 bytes",
                                             "00002000 - <N> - Nemesis, 12 ladrilhos"};
  EXPECT_EQ(LoadCatalogue(dir / "Custom.dat").entries, expected);
  ASSERT_EQ(f.compList.Count(), 3);
  EXPECT_EQ(f.compList.ItemAt(2), expected[2]);
  EXPECT_EQ(f.compList.SelectedIndex(), 0);
  EXPECT_EQ(f.messages.shown, std::vector<Message>{Info(BlocksAddedMessage(2))});
}

TEST(ScanResults, CheckAtFirstWhatIsNewAndLikely) {
  const std::vector<std::string> listed = {"00001000 - <K> - mine"};
  struct Case {
    ScanCandidate candidate;
    bool checked;
  };
  for (const auto& c : {Case{{0x2000, Format::Kosinski, 1280, 300, 0.5}, true},
                        Case{{0x2000, Format::Kosinski, 1280, 300, 0.49}, false},
                        Case{{0x1000, Format::Kosinski, 1280, 300, 0.9}, false},  // listed already
                        Case{{0x1000, Format::Nemesis, 1280, 300, 0.9}, true}}) {
    EXPECT_EQ(CheckedAtFirst(c.candidate, listed), c.checked) << c.candidate.offset << " " << c.candidate.confidence;
  }
}

// The art the games keep beside a map: after it (title screen: map 0x1E15A, art 0x1E26E), else before.
TEST(MapTiles, TheEntryNearestTheMapIsProposed) {
  const std::vector<std::string> entries = {"00000000 - <N> - Sega logo", "0001E26E - <N> - title art",
                                            "0001E000 - <K> - before", "00030000 - <K> - far after"};
  EXPECT_EQ(NearestTileEntry(entries, 0x1E15A), 1u);
  EXPECT_EQ(NearestTileEntry(entries, 0x1E26E), 3u);
  EXPECT_EQ(NearestTileEntry(entries, 0x40000), 3u);
  EXPECT_EQ(NearestTileEntry({"00001000 - <N> - the map's own offset"}, 0x1000), std::nullopt);
}

TEST_F(Tools, ScannedBlocksAreRefusedWhenTheCatalogueCannotTakeThem) {
  fs::create_directory(dir / "Sonic1.dat");  // a catalogue that cannot be read
  f.romList.SetSelectedIndex(0);
  AddScannedBlocks(f.form, {{0x1000, Format::Kosinski, 1280, 300, 0.9}});
  EXPECT_EQ(f.messages.shown, std::vector<Message>{Info(kCatalogueNotSavedMessage)});
  EXPECT_EQ(f.compList.Count(), 0);
  EXPECT_TRUE(fs::is_directory(dir / "Sonic1.dat"));
}

TEST_F(Tools, TheRomIsReadForAScan) {
  EXPECT_EQ(ReadRomForScan(f.form)->size(), 24u);
  f.form.state.SourceFile = dir / "missing.bin";
  EXPECT_FALSE(ReadRomForScan(f.form));
  Message unreadable = Info(kUnreadableRomMessage);
  unreadable.detail = "O arquivo ou a pasta não existe.";
  EXPECT_EQ(f.messages.shown, std::vector<Message>{unreadable});
}

// A dump of the demo image with a header, picked with "Origem": the tool tip says how it
// is read and which ROM it is, and the scan, the preview and "Descomprime" read the plain
// image from it.
TEST_F(Tools, AnInterleavedDumpIsReadAsThePlainImage) {
  testing::Bytes plain = testing::ReadFile(fs::path(QUARVEL_BIN_DIR) / "demo.bin");
  std::memcpy(plain.data() + 0x100, "SEGA MEGA DRIVE ", 16);
  testing::WriteFile(dir / "demo.bin", plain);
  testing::WriteFile(dir / "demo.smd", testing::Interleaved(plain));
  f.form.state.RomName = "Custom";
  std::vector<std::string> tips;
  std::vector<testing::Bytes> scanned, previewed, decompressed;
  for (const char* name : {"demo.bin", "demo.smd"}) {
    f.dialogs.answers = {dir / name};
    CmdOrigem_Click(f.form);
    tips.push_back(f.text2.toolTip);
    scanned.push_back(*ReadRomForScan(f.form));
    f.optNem.Select();
    f.displayLoc.SetText("400");
    previewed.push_back(DecodeForPreview(f.form)->bytes);
    f.form.state.DestFile = dir / (std::string(name) + ".dat");
    CmdDescomprime_Click(f.form);
    decompressed.push_back(testing::ReadFile(f.form.state.DestFile));
  }
  EXPECT_EQ(tips[0], "ROM desconhecido: checksum incorreto.");
  EXPECT_EQ(tips[1], "Arquivo intercalado (.smd), lido desintercalado. ROM desconhecido: checksum incorreto.");
  EXPECT_EQ(scanned[1], plain);
  EXPECT_EQ(previewed[1], previewed[0]);
  EXPECT_EQ(decompressed[1], decompressed[0]);
  EXPECT_FALSE(decompressed[0].empty());
}

// Art edited as a PNG goes back in: its colour indices, or its colours matched to the
// palette the preview shows, on whatever scale the editor drew the eight levels.
TEST_F(Tools, InsertTakesTheTilesOfAPng) {
  testing::Bytes art;
  for (unsigned i = 0; i < 4 * 32; ++i) art.push_back(static_cast<std::uint8_t>(i * 37 % 251 ^ i >> 3));
  testing::Bytes rom(0x1000, 0);
  const auto block = *CompressNemesis(art);
  std::copy(block.begin(), block.end(), rom.begin() + 0x200);
  testing::WriteFile(dir / "rom.bin", rom);
  f.compList.Append("00000200 - <N> - art");
  f.optNem.Select();
  f.displayLoc.SetText("200");
  testing::Bytes words;  // colour i: red level i % 8, green 0 or 7, blue level 3i % 8
  for (unsigned i = 0; i < 16; ++i)
    words.insert(words.end(), {static_cast<std::uint8_t>((3 * i % 8) << 1), static_cast<std::uint8_t>((i / 8 * 7) << 5 | (i % 8) << 1)});
  const Palette palette = *ParseMegaDrivePalette(words);
  f.form.shownPalette = [&palette] { return ShownLines{{palette}, 0}; };
  const auto drawn = [&](int (*scale)(int), int offBy) {  // the art as an RGB image, 4 tiles a row
    const TileImage image = *RenderTiles(art, palette, 4, 1);
    testing::Bytes rgb;
    for (const auto pixel : image.pixels)
      for (const int level : {pixel % 8, pixel / 8 * 7, 3 * pixel % 8})
        rgb.push_back(static_cast<std::uint8_t>(std::clamp(scale(level) + offBy, 0, 255)));
    return testing::RgbPng(image.width, image.height, rgb);
  };
  struct Case {
    const char* name;
    testing::Bytes png;
    const char* detail;  // of the refusal, or none
    const char* said = "";  // in the last message
    testing::Bytes back = {};  // the new block's tiles, when not the art's
  };
  const testing::Bytes half(art.begin(), art.begin() + 64);
  const Case cases[] = {
      {"indexed, as the preview saves it", EncodePng(*RenderTiles(art, palette, 4, 1)), nullptr},
      {"at zoom 2, 3 a row, its layout dropped: the last row's blank tiles are no tiles",
       EncodePng(*RenderTiles(art, palette, 3, 2)), nullptr,
       "Imagem lida com zoom 2 (o que dá os ladrilhos do bloco antigo), 4 ladrilhos (os do bloco antigo)."},
      {"half the tiles: asked first", EncodePng(*RenderTiles(half, palette, 4, 1)), nullptr, "2 ladrilhos", half},
      {"the palette's own colours", drawn([](int v) { return (v * 255 + 3) / 7; }, 0), nullptr},
      {"levels as v * 36", drawn([](int v) { return v * 36; }, 0), nullptr},
      {"levels as v * 34", drawn([](int v) { return v * 34; }, 0), nullptr},
      {"18 above the palette's", drawn([](int v) { return (v * 255 + 3) / 7; }, 18),
       "O pixel em (0, 0) tem a cor (18, 18, 18), que a paleta mostrada na visualização não tem (nem a 17 por canal)."},
  };
  for (const auto& c : cases) {
    f.messages.shown.clear();
    testing::WriteFile(dir / "art.png", c.png);
    fs::remove(dir / "new.bin");
    f.dialogs.answers = {dir / "art.png", dir / "new.bin"};
    InsertBlockIntoRom(f.form);
    const bool asked = !c.back.empty();
    ASSERT_EQ(f.messages.shown.size(), asked ? 2u : 1u) << c.name;
    if (asked) {
      EXPECT_EQ(f.messages.shown[0].buttons, MessageButtons::YesNo);
      EXPECT_TRUE(f.messages.shown[0].text.starts_with("O bloco antigo tem 4 ladrilhos e os dados novos 2.")) << f.messages.shown[0].text;
    }
    if (c.detail == nullptr) {
      ASSERT_NE(f.messages.shown.back().text.find(c.said), std::string::npos) << f.messages.shown.back().text;
      EXPECT_EQ(DecodeBlock(Format::Nemesis, testing::ReadFile(dir / "new.bin"), 0x200)->bytes, asked ? c.back : art) << c.name;
    } else {
      EXPECT_EQ(f.messages.shown[0].text, kPngNotImportedMessage) << c.name;
      EXPECT_EQ(f.messages.shown[0].detail, c.detail) << c.name;
    }
  }

  f.messages.shown.clear();  // the compressed block given by mistake, and a PNG for a map
  testing::WriteFile(dir / "art.nem", testing::Concat(block, testing::Bytes{0}));
  f.dialogs.answers = {dir / "art.nem"};
  InsertBlockIntoRom(f.form);
  f.compList.Append("00000200 - <E> - map");
  f.compList.SetSelectedIndex(1);
  f.dialogs.answers = {dir / "art.png"};
  InsertBlockIntoRom(f.form);
  ASSERT_EQ(f.messages.shown.size(), 2u);
  EXPECT_EQ(f.messages.shown[0].text, "Os dados não podem ser comprimidos em Nemesis.");
  EXPECT_EQ(f.messages.shown[0].detail, "Os dados têm " + std::to_string(block.size() + 1) +
                                            " bytes, que não são ladrilhos inteiros de 32 bytes; o arquivo parece ser um "
                                            "bloco já comprimido em Nemesis: escolha os dados descomprimidos.");
  EXPECT_EQ(f.messages.shown[1], Info(kMapIsNoPictureMessage));
}

// A ROM that the games' catalogues know selects its catalogue, as a click would, unless
// "Custom" is shown; one known only in part leaves the list alone. A source that is no
// regular file is read once: every later action reads the bytes kept.
TEST_F(Tools, TheSourceChoosesItsCatalogueAndAFifoIsReadOnce) {
  testing::WriteFile(dir / "s1.bin", testing::WithHeader(512 << 10, "GM 00001009-00", 0x264A));
  testing::WriteFile(dir / "s2.bin", testing::WithHeader(1 << 20, "GM 00001051-01", 0));
  testing::WriteFile(dir / "s1-changed.bin", testing::ChangedKnownRom("Sonic1", 1));
  fs::create_directory(dir / "sub");
  using Case = std::tuple<int, fs::path, const char*>;  // the list's row shown, the ROM, the catalogue then shown
  for (const auto& [shown, rom, after] : {Case{4, dir / "sub" / ".." / "s1.bin", "Sonic1"}, Case{8, dir / "s1.bin", "Custom"},
                                          Case{4, dir / "s1-changed.bin", "Sonic1"}, Case{4, dir / "s2.bin", "Sonic3"}}) {
    f.romList.SetSelectedIndex(shown);
    UseSource(f.form, rom);
    EXPECT_EQ(f.form.state.RomName, after) << rom;
  }
  EXPECT_EQ(f.text2.Text(), PathToUtf8(dir / "s2.bin"));  // shown whole and normal

  const fs::path fifo = dir / "rom.fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::thread writer([&] { testing::WriteFile(fifo, testing::ReadFile(dir / "rom.bin")); });
  UseSource(f.form, fifo);
  writer.join();
  ASSERT_TRUE(f.form.state.SourceImage);
  f.displayLoc.SetText("2");  // a read of the FIFO now would wait for ever
  const auto block = DecodeForPreview(f.form);
  ASSERT_TRUE(block);
  EXPECT_EQ(testing::ToHex(block->bytes), "61 62 63");
  CmdDescomprime_Click(f.form);
  EXPECT_EQ(testing::ToHex(testing::ReadFile(dir / "out.dat")), "61 62 63");
  EXPECT_NE(f.dialogs.recent.back().second, fifo);  // never offered again
}

TEST(RomSummary, SaysWhichRomAndWhichCatalogueToChoose) {
  const auto sonic1 = testing::WithHeader(512 << 10, "GM 00001009-00", 0x264A);
  EXPECT_EQ(RomSummary({sonic1, RomLayout::Plain}, "Sonic1"),
            "provavelmente Sonic 1 (revisão 00): checksum incorreto; catálogo Sonic 1.");
  EXPECT_EQ(RomSummary({sonic1, RomLayout::Plain}, "Custom"),
            "provavelmente Sonic 1 (revisão 00): checksum incorreto; catálogo Sonic 1; escolha Sonic 1 na lista de ROMs.");
  EXPECT_EQ(RomSummary({testing::WithHeader(1 << 20, "GM 00001051-01", 0xD951), RomLayout::LooksInterleaved}, "Sonic2"),
            "Parece um arquivo intercalado (.smd), mas não é: lido como está. provavelmente Sonic 2 (revisão 01): checksum "
            "incorreto; catálogo Sonic 2.");
  EXPECT_EQ(RomSummary({testing::Bytes(100), RomLayout::Plain}, "Sonic1"), "Pequeno demais para um cabeçalho de Mega Drive.");
  EXPECT_EQ(RomSummary({testing::Bytes(0x400, 0xFF), RomLayout::Plain}, "Sonic1"),
            "ROM desconhecido, sem cabeçalho de Mega Drive (não há \"SEGA\" em 0x100).");  // as the demo
  EXPECT_EQ(RomSummary({testing::ChangedKnownRom("Sonic1", 1), RomLayout::Plain}, "Custom"),
            "Sonic 1 alterado (revisão 00): 178 de 179 blocos conhecidos no lugar; checksum incorreto; catálogo Sonic 1; "
            "escolha Sonic 1 na lista de ROMs.");
}

}  // namespace
}  // namespace quarvel
