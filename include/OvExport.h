// Export marker of the orvane shared library: everything else stays hidden.
#ifndef ORVANE_OVEXPORT_H
#define ORVANE_OVEXPORT_H

#define OV_EXPORT __attribute__((visibility("default")))

#endif
