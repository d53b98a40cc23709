#pragma once
// The Windows Media runtime as the output writer and the camera graph use
// it: "wmvcore.dll" loaded at run time for its WMCreateProfileManager entry
// point, and the profile loaders. Wine's runtime creates profile managers but
// cannot load profile text (LoadProfileByData is not implemented), so each
// loader falls back to our own profile manager over the same text. Process-
// wide state; the loaders may run on any thread, LoadWmvCore/UnloadWmvCore on
// one thread at a time.
#include <windows.h>
#include <wmsdkidl.h>
#include <string>

// 1 when "wmvcore.dll" is loaded and its WMCreateProfileManager resolved
// (loading it when needed); 0 after freeing what it loaded on failure.
BOOL LoadWmvCore();
// Clears the entry point and frees the library.
void UnloadWmvCore();
// True while the entry point is resolved.
BOOL IsWmvCoreLoaded();

// The profile stored as a "PRX" resource with that id in `module` (null:
// the program). E_FAIL for a null output, id 0 or a missing resource.
HRESULT LoadProfileFromResource(IWMProfile** profile, WORD resourceId, HMODULE module = NULL);
// The profile in `text` (the Windows Media profile text form). Loads the
// library for the call when it is not loaded, and frees it again then.
HRESULT LoadProfileFromText(IWMProfile** profile, LPCWSTR text);
// Searches "*.prx" in `folder` (when useFolder) or the default profile
// folder for the profile whose name equals `name` without regard to case.
// E_POINTER for a null output; E_FAIL when nothing matches.
HRESULT ReadPrxProfiles(LPCWSTR name, BOOL useFolder, IWMProfile** profile, LPCWSTR folder);
// The Windows Media Encoder's profile folder, read from its profile
// manager. Fails (with the creation's result) where no encoder is
// installed, which is always the case under Wine.
HRESULT GetDefaultProfileFolder(std::wstring* folder);
