// A product module with a dependency of its own: search_helper.dll, which
// the loader must find beside this module.
extern "C" __declspec(dllimport) int SearchHelperAnswer();

extern "C" __declspec(dllexport) int SearchUserAnswer() { return SearchHelperAnswer(); }
