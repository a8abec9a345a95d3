// Program entry. Until the main window and the device dialogue are built,
// Morvel shows an empty main window.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName("Morvel");
  QMainWindow window;
  window.setWindowTitle("Morvel");
  window.resize(518, 401);
  window.show();
  return QApplication::exec();
}
