// Every entity class of the geometry library.
#ifndef QELOBJECTLIBRARY_QELENTITY_H
#define QELOBJECTLIBRARY_QELENTITY_H

#include "NURBSPoint.h"
#include "PolyDrawPoint.h"
#include "QELD3Bezier.h"
#include "QELDot.h"
#include "QELEllipticalArc.h"
#include "QELEntityBase.h"
#include "QELLine.h"
#include "QELPolyDraw.h"
#include "QELPolyLine.h"

#endif  // QELOBJECTLIBRARY_QELENTITY_H
