// Export marker of the pixmere shared library.
#ifndef PIXMERE_PXEXPORT_H
#define PIXMERE_PXEXPORT_H

#define PX_EXPORT __attribute__((visibility("default")))

#endif
