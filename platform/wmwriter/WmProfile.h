#pragma once
// Our Windows Media profile manager: reads profiles in the Windows Media
// profile text form (".prx") into IWMProfile objects whose streams answer
// IWMStreamConfig and IWMMediaProps. Wine's runtime creates a profile
// manager, but its LoadProfileByData is not implemented. Only what a writer
// reads of a profile is kept: name, description, and per stream its type,
// number, names, bit rate, buffer window and media type (video info header
// or wave format).
#include <windows.h>
#include <wmsdkidl.h>

// Creates our profile manager (IWMProfileManager2; reference count 1).
HRESULT CreateWmProfileManager(IWMProfileManager** manager);

// Parses profile text into a new profile. E_INVALIDARG with a null text or
// a text that is no profile, or whose values are out of range.
HRESULT LoadWmProfileFromText(LPCWSTR text, IWMProfile** profile);
