#pragma once
// Loading of the product's own modules only after two tests on the file:
// its embedded Authenticode signature verifies (chain policy), and the first
// signer's simple display name is one of the maker's two company names.
#ifdef _WIN32
#include <windows.h>

#include <functional>
#include <string>

namespace tqn {

// The trust test. Zero or above means trusted. Given a handle to the file
// open for reading, the test reads the file through it.
HRESULT VerifyFileTrust(const std::wstring& path, HANDLE heldFile = nullptr);

// Reads the first signer's simple display name. True and name set only when
// the whole reading succeeded; otherwise false and name left untouched.
bool GetSignerName(const std::wstring& path, std::wstring& name);

// -2 when no name could be read (or it is empty), else the case-insensitive
// comparison of the name with expected (0 when equal).
int CompareSignerName(const std::wstring& path, const std::wstring& expected);

// The three callers' orders of tests. Each returns the loaded module (the
// caller owns it and frees it) or null when nothing was loaded. The file is
// held open against writing and deletion from before the first test until
// LoadLibraryW has returned, both tests read it through that handle (the
// signer is read from the signature the trust test verified, not from the
// path again), and the module the loader mapped must be that very file
// (volume and file index), so the file tested is the file loaded. A module
// that this process verified and still has loaded from the same full path
// takes one more reference without being tested again; one mapped for that
// path without the tests (its file may have been renamed away since) is
// refused, untested.
HMODULE LoadTrustedPathTool(const std::wstring& path);
HMODULE LoadTrustedConfigModule(const std::wstring& path);
HMODULE LoadTrustedScriptModule(const std::wstring& path);

// For a short-lived program that loads the same modules again and again:
// while on, every module verified and loaded from now on keeps one more
// reference, so that it stays loaded, and later requests for it are answered
// without a second test, until ReleaseKeptModules.
void KeepVerifiedModulesLoaded(bool keep);
// Gives back the references kept, and stops keeping.
void ReleaseKeptModules();

// Test seam: runs each time a file is about to be tested, with its path. An
// empty function removes the hook.
void SetVerificationHookForTesting(std::function<void(const std::wstring&)> hook);

// Test seam: the file name taken as the loaded module's when the loader's
// module is compared with the file that was tested (the real one when the
// function is empty). An empty function removes the seam.
void SetLoadedFileNameForTesting(std::function<std::wstring(HMODULE)> fileName);

// Test seam: runs after both tests passed and just before LoadLibraryW, with
// the path about to be loaded. An empty function removes the hook.
void SetBeforeLoadHookForTesting(std::function<void(const std::wstring&)> hook);

}  // namespace tqn
#endif
