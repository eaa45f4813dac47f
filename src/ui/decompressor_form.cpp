#include "ui/decompressor_form.h"

#include "files/extraction.h"

namespace quarvel {

Driver RealDriver() {
  return [](Format format, const std::filesystem::path& source, const std::filesystem::path& destination,
            std::int32_t offset) { return Decompress(format, source, destination, offset); };
}

Radix ChosenRadix(const DecompressorControls& controls) { return controls.OptHex.IsSelected() ? Radix::Hex : Radix::Dec; }

Format ChosenFormat(const DecompressorControls& controls) {
  return controls.OptKos.IsSelected() ? Format::Kosinski : Format::Nemesis;
}

void Inform(DecompressorForm& form, std::string_view text, std::optional<std::string> title, std::string detail) {
  Message message = Information(text, std::move(title));
  message.detail = std::move(detail);
  form.services.messages.Show(message);
}

void FormatOption_Click(DecompressorForm& form) { form.state.FormatClickedSinceEntry = true; }

void Form_Load(DecompressorForm& form) { form.controls.RomList.SetSelectedIndex(0); }

}  // namespace quarvel
