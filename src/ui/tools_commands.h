// The window's tools beyond its fixed layout: seeing a block as tiles (F5 and
// "Visualizar") and scanning the ROM for blocks ("Procurar blocos no ROM").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/extraction.h"
#include "files/files.h"
#include "preview/png_import.h"
#include "rom/rom_layout.h"
#include "scan/block_scan.h"
#include "ui/decompressor_form.h"

namespace quarvel {

inline constexpr std::string_view kPickSourceFirstMessage = "Selecione primeiro o ROM com o botão Origem.";
inline constexpr std::string_view kUnreadableRomMessage = "Não foi possível ler o ROM.";
inline constexpr std::string_view kNoBlocksFoundMessage = "Nenhum bloco encontrado no ROM.";
inline constexpr std::string_view kCatalogueNotSavedMessage = "Não foi possível gravar o arquivo de localizações.";
inline constexpr std::string_view kTooManyBlocksMessage =
    "A procura parou: há candidatos a bloco demais para um ROM (mais de 1.048.576).";
inline constexpr std::string_view kOutOfMemoryMessage = "Não há memória bastante para procurar blocos neste ROM.";

// The format of the block at DisplayLoc, for "Descomprime", a preview and an insert: the
// selected entry's when the option buttons do not offer it, DisplayLoc still shows its
// offset and no option button was clicked since it was selected; else the chosen option's.
Format BlockFormat(const DecompressorForm& form);

// The block at DisplayLoc, in the chosen radix and BlockFormat, of the picked ROM,
// decoded for a preview; the destination file is never written. A failure is shown,
// with why the block cannot be decoded, and gives nothing.
std::optional<DecodedBlock> DecodeForPreview(DecompressorForm& form);

// Why a block cannot be decoded or written, in Portuguese for the window: "os dados
// acabam no byte 0x1E, antes do fim do bloco".
std::string ReasonInPortuguese(const DecodeError& error);

// Why a file could not be read or written, as the system told it, in Portuguese:
// "não há permissão para isso"; empty when the window knows no words for it.
std::string FileReasonInPortuguese(const std::error_code& code);

// Why an offset text is no offset: "o offset \"0x10\" não é um número hexadecimal".
std::string OffsetReasonInPortuguese(OffsetTextError error, std::string_view text, Radix radix);

// Why `data` cannot be compressed in `format`, in Portuguese: "os dados têm 33 bytes,
// que não são ladrilhos inteiros de 32 bytes"; also when the file looks compressed
// already. Empty when nothing is wrong with its size.
std::string DataReasonInPortuguese(Format format, std::span<const std::uint8_t> data);

// "Ocorreu um erro durante a descompressão", and why DisplayLoc holds no offset.
void InformBadOffset(DecompressorForm& form, OffsetTextError error);

// A reason as a box's detail text: its first letter upper case, a final period.
std::string AsDetail(std::string reason);

// One line in Portuguese of what a ROM image file is, for the tool tip of the source
// path box: how it is read (interleaved), which ROM it is (and, changed, how many of its
// catalogue's blocks are in place), whether its checksum is right, which catalogue fits
// it, and to choose that one when `shown` (the base name of the catalogue shown) is
// another. "Sonic 1 (revisão 00): checksum correto; catálogo Sonic 1"
std::string RomSummary(const PlainImage& image, std::string_view shown);

// The block of `format` at `offset` of the picked ROM: of the bytes kept for a source
// that is no regular file, else read from the file as far as the block goes.
DecodeResult<DecodedBlock> ReadSourceBlock(const DecompressorForm& form, Format format, std::int64_t offset);

// The picked ROM's plain image (an interleaved dump de-interleaved); nothing, after a
// message, when there is none or it cannot be read.
std::optional<PlainImage> ReadRomImage(DecompressorForm& form);

// The picked ROM's bytes, for a scan; nothing, after a message, when there is no ROM
// or it cannot be read.
std::optional<std::vector<std::uint8_t>> ReadRomForScan(DecompressorForm& form);

// Scans the ROM's bytes; nothing when the user cancelled, or, after a message, when the
// scan stopped at too many candidates or ran out of memory.
std::optional<std::vector<ScanCandidate>> ScanRomInTheWindow(DecompressorForm& form, std::span<const std::uint8_t> rom,
                                                             const ScanProgress& progress);

// Whether a block found starts checked in the scan's results: one the catalogue shown
// does not list yet, of a confidence of 0.5 or more.
bool CheckedAtFirst(const ScanCandidate& candidate, const std::vector<std::string>& listed);

// Where a plane map's tiles come from, where they sit in video memory, and how wide it
// is drawn.
struct MapTilesSource {
  std::int32_t offset = 0;             // a block of the picked ROM ...
  Format format = Format::Nemesis;     // ... in this format
  std::filesystem::path file;          // or, when not empty, this file as it is
  unsigned width = kDefaultMapWidth;   // tiles a row
  std::optional<unsigned> firstTile;   // the tile a word's index counts from; nothing: ProposedFirstTile's

  static constexpr unsigned kDefaultMapWidth = 40;  // a screen's width
  bool operator==(const MapTilesSource&) const = default;
};

inline constexpr std::string_view kMapTilesUnreadableMessage = "Não foi possível ler os ladrilhos do mapa.";

// The entries of the catalogue shown that a map can take its tiles from: all but maps.
std::vector<std::string> TileEntries(const ListBox& list);

// Of `entries` (catalogue lines), the one a map at `mapOffset` likely takes its tiles
// from: the games keep a map's art beside it, so the nearest after the map, else the
// nearest before it; nothing when no entry has an offset but the map's.
std::optional<std::size_t> NearestTileEntry(const std::vector<std::string>& entries, std::int32_t mapOffset);

// The tiles of `source`; nothing, after a message that says why, when they cannot be read.
std::optional<std::vector<std::uint8_t>> ReadMapTiles(DecompressorForm& form, const MapTilesSource& source);

// "3 blocos adicionados às Localizações Conhecidas.": what an add of scanned blocks says.
std::string BlocksAddedMessage(std::size_t count);

// Appends an entry for each chosen block to the catalogue shown and rewrites its file
// once, and says how many it added. Refused, with nothing changed, when the catalogue
// could not be read whole or would grow past 32,767 entries, or when its file cannot
// be written.
void AddScannedBlocks(DecompressorForm& form, const std::vector<ScanCandidate>& chosen);

inline constexpr std::string_view kInsertDataDialogTitle = "Selecione os dados descomprimidos ou a imagem PNG do bloco";
inline constexpr std::string_view kInsertDataDialogFilter = "Dados descomprimidos (*)|*|Imagem PNG (*.png)|*.png";
inline constexpr std::string_view kMapIsNoPictureMessage =
    "Um mapa Enigma não é uma imagem: escolha os dados descomprimidos do mapa, não uma imagem PNG.";
inline constexpr std::string_view kSongIsNoPictureMessage =
    "Uma música Saxman não é uma imagem: escolha os dados descomprimidos da música, não uma imagem PNG.";
inline constexpr std::string_view kPngNotImportedMessage = "A imagem PNG não pode ser posta no bloco.";
inline constexpr std::string_view kInsertRomDialogTitle = "Nome do novo ROM.";
inline constexpr std::string_view kInsertRomDialogFilter = "Rom Binário(*.BIN)|*.BIN|Todos os arquivos (*)|*";
inline constexpr std::string_view kUnreadableDataMessage = "Não foi possível ler o arquivo de dados.";
inline constexpr std::string_view kNewRomNotSavedMessage = "Não foi possível gravar o novo ROM.";

// Why a PNG image gives no tiles, in Portuguese: "o pixel em (3, 2) tem a cor (1, 0, 0),
// que a paleta não tem".
std::string PngReasonInPortuguese(const PngProblem& problem);

// "Inserir bloco no ROM...": the block at DisplayLoc (in the chosen radix and
// BlockFormat) of the picked ROM replaced by one compressed from a data file, or from
// the tiles of a PNG image (its colour indices, or its colours matched to the nearest of
// the palette the preview shows; never for a map), into a new ROM file, the checksum fixed; the ROM itself, the data file and the catalogues are
// never written. A block that does not fit the old one's room is refused with both sizes;
// every outcome is one message.
void InsertBlockIntoRom(DecompressorForm& form);

// Where the data a preview shows came from: a block of the picked ROM.
struct PictureOrigin {
  std::filesystem::path rom;  // empty: nowhere known
  std::uint32_t offset = 0;
  Format format = Format::Nemesis;
};

// The file "Salvar PNG..." proposes: "<offset>-<format>.png" beside the ROM, such as
// "0x1F27A-nemesis.png"; nothing when the origin is not known.
std::filesystem::path ProposedPicture(const PictureOrigin& origin);

// The files that nothing the window saves may replace: the picked ROM and the catalogues.
ProtectedFiles FilesNeverWritten(const DecompressorForm& form);

}  // namespace quarvel
