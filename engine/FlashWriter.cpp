#include "FlashWriter.h"
