#include "ui/window_arguments.h"

#include "files/files.h"

namespace quarvel {

std::optional<std::string> ProgramInformation(const std::vector<std::string>& arguments, std::string_view version) {
  for (const std::string& argument : arguments) {
    if (argument == "--") break;
    if (argument == "--version" || argument == "-v") return "quarvel " + std::string(version) + "\n";
    if (argument == "--help" || argument == "-h") {
      return "Uso: quarvel [ARQUIVO]\n"
             "Abre o Quarvel Descompressor; com ARQUIVO, este é o ROM de origem, como se escolhido em \"Origem\".\n"
             "\n"
             "  -h, --help     mostra esta ajuda e sai\n"
             "  -v, --version  mostra a versão e sai\n"
             "\n"
             "Para a linha de comando, veja quarvel-cli --help.\n";
    }
  }
  return std::nullopt;
}

Expected<std::optional<std::filesystem::path>, std::string> WindowFile(const std::vector<std::string>& arguments) {
  std::optional<std::filesystem::path> file;
  bool options = true;
  for (const std::string& argument : arguments) {
    if (options && argument == "--") {
      options = false;
      continue;
    }
    if (options && argument.size() > 1 && argument.front() == '-')
      return Fail("opção desconhecida: " + argument + "\nUse 'quarvel --help' para ver as opções.");
    if (file) return Fail("só um arquivo pode ser aberto: " + PathToUtf8(*file) + " e " + argument);
    file = PathFromUtf8(argument);
  }
  return file;
}

}  // namespace quarvel
