#include <QApplication>
#include <QStyleFactory>

#include "platform/qt/qt_services.h"
#include "ui/decompressor_window.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName("quarvel");  // the user's data folder: .../quarvel
  QApplication::setStyle(QStyleFactory::create("Fusion"));
  quarvel::InstallPortuguese(application);

  quarvel::QtMessageBox messages(nullptr);
  quarvel::QtFileDialogs dialogs(nullptr);
  quarvel::QtProgramDirectory programDirectory;
  quarvel::Decompressor window(messages, dialogs, programDirectory);
  window.Load();
  window.show();
  return QApplication::exec();
}
