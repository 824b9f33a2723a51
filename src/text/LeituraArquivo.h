// Files named by the host, opened only when they are plain files: a directory, a device or a pipe
// given as a picture, a PDF or a text is an unreadable file, not a read error deep inside a stream.
#pragma once

#include <string>

namespace ORDAL_VEX {

// Opens `caminho` for reading with close-on-exec. -1 when it is null, missing, not permitted or not a
// regular file; opening never waits (a pipe without writer is refused at once).
int abrirArquivoRegular(const char* caminho);

// The whole regular file into `conteudo`; false (and `conteudo` untouched) when it cannot be opened
// as above or a read fails.
bool lerArquivoRegular(const char* caminho, std::string& conteudo);

}  // namespace ORDAL_VEX
