// A library of no use but to be found, or not, by LoadLibrary.
extern "C" __declspec(dllexport) int purrboxPlanted() { return 1; }
