// Defines the Windows Media runtime's interface identifiers that mingw-w64's
// headers declare but no import library holds (as selectany, so another
// definition elsewhere does not clash).
#include <windows.h>
#include <initguid.h>
#include <wmsdkidl.h>
