#include "run/run_conversion.h"

int main(int argc, char** argv) {
  return velk::runConversion(velk::quelmarEdition(), argc, argv);
}
