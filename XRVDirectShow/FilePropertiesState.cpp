// The file-properties cache for programs without the recorder's
// registrations unit. The recorder defines both symbols in
// app/Registrations.cpp; the linker then never takes this unit from the
// library.
#include "XRVDirectShow/FileProperties.h"

CArray<FilePropertiesRecord> g_FileProperties;
CCriticalSection g_FilePropertiesLock;
