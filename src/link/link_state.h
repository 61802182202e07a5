#pragma once
// State of the serial link owned by the main window: the port, its saved
// settings and the reader thread.
struct LinkState {};
