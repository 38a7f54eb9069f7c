// A library that someone could leave beside the program or in its current folder.
extern "C" __declspec(dllexport) int PlantedLibrary() { return 1; }
