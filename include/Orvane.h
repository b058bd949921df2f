// Everything a client of the library needs, in one include.
#ifndef ORVANE_ORVANE_H
#define ORVANE_ORVANE_H

#include "OvCamera.h"
#include "OvControl.h"
#include "OvData.h"
#include "OvLog.h"
#include "OvPlatform.h"
#include "OvPtrList.h"
#include "OvScene.h"
#include "OvScreen.h"
#include "OvTypes.h"
#include "OvVirtual.h"
#include "Pixmere.h"
#include "Quorra.h"

#endif
