#include "PxTypes.h"
