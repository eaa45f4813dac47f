// Pictures of the preview for the README: the demo's landscape in a palette line of
// four, and the demo's map drawn with its tiles. Run by scripts/screenshot under a
// virtual display: window_pictures BIN_DIR OUT_DIR.
#include <QApplication>
#include <QPixmap>
#include <QStyleFactory>
#include <QTest>

#include <cstdio>
#include <filesystem>

#include "files/files.h"
#include "formats/format_table.h"
#include "platform/fakes.h"
#include "platform/qt/qt_services.h"
#include "ui/tile_preview.h"

namespace fs = std::filesystem;
using namespace quarvel;

namespace {

// The demo's palette as line 0, then the same at dusk, at night and in snow.
std::vector<std::uint8_t> FourLines(const std::vector<std::uint8_t>& demo) {
  std::vector<std::uint8_t> lines = demo;
  for (const int shade : {1, 2, 3}) {
    for (std::size_t i = 0; i < demo.size(); i += 2) {
      unsigned word = unsigned{demo[i]} << 8 | demo[i + 1];
      unsigned b = word >> 9 & 7, g = word >> 5 & 7, r = word >> 1 & 7;
      if (shade == 1) r = std::min(7u, r + 2), b = b / 2;
      if (shade == 2) r = r / 3, g = g / 3, b = std::min(7u, b + 1);
      if (shade == 3) r = std::max(r, 6u), g = std::max(g, 6u), b = 7;
      word = b << 9 | g << 5 | r << 1;
      lines.insert(lines.end(), {static_cast<std::uint8_t>(word >> 8), static_cast<std::uint8_t>(word)});
    }
  }
  return lines;
}

bool Save(QWidget& window, const fs::path& file) {
  QTest::qWait(300);
  const bool saved = window.grab().save(QString::fromStdString(file.string()));
  std::printf("%s %s\n", saved ? "Saved" : "Could not save", file.string().c_str());
  return saved;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: window_pictures BIN_DIR OUT_DIR\n");
    return 2;
  }
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  const fs::path bin = argv[1], out = argv[2];
  const auto rom = ReadWholeFile(bin / "demo.bin", kRomImageLimit);
  const auto palette = ReadWholeFile(bin / "demo.pal", 128);
  if (!rom || !palette) return 1;
  const fs::path lines = fs::temp_directory_path() / "paisagem-4-linhas.pal";
  if (!ReplaceFileContents(lines, FourLines(*palette))) return 1;
  Remembered().setValue("preview/palette", QString::fromStdString(lines.string()));
  Remembered().setValue("preview/line", 1);
  Remembered().setValue("preview/zoom", 3);

  testing::RecordingMessageBox messages;
  testing::ScriptedFileDialogs dialogs;
  const auto scene = *DecodeBlock(Format::Kosinski, *rom, 0x2000);
  const auto map = *DecodeBlock(Format::Enigma, *rom, 0x1000);
  TilePreview preview({}, {}, messages, dialogs);
  preview.resize(960, 160);
  preview.Columns->setValue(16);
  preview.Show(scene.bytes, "Visualizar 2000 Kosinski de demo.bin");
  bool saved = Save(preview, out / "preview-palette-line.png");
  preview.ShowMap(map.bytes, scene.bytes, 32, 0, "Visualizar 1000 Enigma de demo.bin", {});
  preview.LineChoice->setCurrentIndex(0);  // each tile's own line
  emit preview.LineChoice->activated(0);
  preview.resize(960, 160);
  saved = Save(preview, out / "preview-map.png") && saved;
  fs::remove(lines);
  return saved ? 0 : 1;
}
