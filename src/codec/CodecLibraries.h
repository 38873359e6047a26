#pragma once

// Process-wide settings of the image libraries under the decoders, made once:
// libtiff's warning and error handlers are silenced (FreeImage's and the
// toolkit's TIFF readers would otherwise print dozens of lines per file;
// failures still come back as results).
//
// FreeImage is not initialised here: the system's FreeImage initialises
// itself when it is loaded, and its Initialise/DeInitialise counter is not
// thread-safe, so no code of ours calls either.
//
// Idempotent and thread-safe. KImageWrapper calls it when it is built; the
// application calls it once on the main thread at start-up, before any
// worker runs, so the handlers never change while another thread is inside
// libtiff.
void initialiseCodecLibraries();
