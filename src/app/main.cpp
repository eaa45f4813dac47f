#include <QApplication>
#include <QStyleFactory>

#include <iostream>
#include <string>
#include <vector>

#include "platform/qt/qt_services.h"
#include "ui/decompressor_window.h"
#include "ui/window_arguments.h"

int main(int argc, char** argv) {
  // --help and --version print and end before the toolkit starts: no display is needed.
  if (const auto text = quarvel::ProgramInformation(std::vector<std::string>(argv + 1, argv + argc), QUARVEL_VERSION)) {
    std::cout << *text;
    return 0;
  }
  QApplication application(argc, argv);
  QApplication::setApplicationName("quarvel");  // the user's data folder: .../quarvel
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  quarvel::InstallPortuguese(application);

  std::vector<std::string> arguments;  // those the toolkit left
  for (const QString& argument : QApplication::arguments().mid(1)) arguments.push_back(quarvel::FromQString(argument));
  const auto file = quarvel::WindowFile(arguments);
  if (!file) {
    std::cerr << "quarvel: " << file.error() << '\n';
    return 2;
  }

  quarvel::QtMessageBox messages(nullptr);
  quarvel::QtFileDialogs dialogs(nullptr);
  quarvel::QtProgramDirectory programDirectory;
  quarvel::Decompressor window(messages, dialogs, programDirectory);
  window.Load();
  if (*file) window.OpenSource(**file);
  window.show();
  return QApplication::exec();
}
