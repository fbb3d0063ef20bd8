#pragma once

#include <string>
#include <vector>

namespace sb {

// Every file a build of the built-in scenario writes, in the order written:
// the two descriptions (deleted again by the end of the run), the crew
// documents and the compiled files.
inline const std::vector<std::string> kBuiltInFilesInOrder = {
    "Sarvena_Lucredo_linea.txt",
    "Sarvena_Lucredo_20573-2-.txt",
    "Sarvena_Lucredo_20573-2_note.txt",
    "Sarvena_Lucredo_20573-2_rallentamenti.txt",
    "Sarvena_Lucredo_20573-2_scheda_treno.txt",
    "Sarvena_Lucredo_linea.dat",
    "Sarvena_Lucredo_20573-2.sim",
    "Sarvena_Lucredo_20573-2.dat",
};

}  // namespace sb
