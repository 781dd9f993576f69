#include "config/uFileVersionNote.h"
#include "ui/Startup.h"

// The version the about box shows, readable in the file (readelf -n).
LARKSPAN_FILE_VERSION_NOTE(LARKSPAN_FILE_VERSION);

int main(int argc, char** argv) { return larkspan::RunLarkspan(argc, argv); }
