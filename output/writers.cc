#include "output/writers.h"
