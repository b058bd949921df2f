// Export marker of the quorra shared library.
#ifndef QUORRA_QREXPORT_H
#define QUORRA_QREXPORT_H

#define QR_EXPORT __attribute__((visibility("default")))

#endif
