// Railfolio: the collection and operations program for model railroaders.

#include <QApplication>

#include "app/application.h"
#include "tables/engine.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  rf::tables::Engine engine;
  return rf::app::runApplication(engine);
}
