// PDF pages as monochrome bitmaps, by the external PostScript/PDF interpreter "gs".
#pragma once

#include <string>
#include <vector>

namespace ORDAL_VEX {

struct PaginasPDF {
    int codigo = 0;                    // 0 converted, 8 not a readable file, 13 converter failed or missing
    std::vector<std::string> paginas;  // each page's BMP file bytes, in order
};

// Runs the converter (program `programa`, found on the search path) at `dpi` on the file and collects
// the pages it writes to its standard output. The file is opened here and the converter given only the
// open descriptor, so nothing in its name can reach a shell or the converter's own name syntax; a
// directory or any other file that is not a plain readable one is refused before the converter starts.
PaginasPDF converterPDF(const std::string& caminho, int dpi, const std::string& programa = "gs");

// Splits the converter's output: each "Page N" marker line is followed, possibly after other lines,
// by that page's BMP; a page runs for the BMP's own declared size, bounded by the next marker.
std::vector<std::string> separarPaginas(const std::string& saida);

}  // namespace ORDAL_VEX
