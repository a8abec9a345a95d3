// Program entry: the window asks for a port while it is created; without a
// port chosen and opened there is nothing to run, and the program ends
// without showing it.
#include <QApplication>

#include "app/window/form1.h"
#include "gui/application.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  Application().Title = "Morvel";
  QApplication::setApplicationName("Morvel");
  TForm1 form1;
  if (form1.DeviceDialogue().State.StartComNumber == 0) return 0;
  form1.show();
  return QApplication::exec();
}
