// The dynamic symbol table holds exactly the exports the public header declares.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "TestSupport.h"

namespace {

std::set<std::string> declaredExports() {
    const std::string header = rx457test::readFile(RX457_HEADER_PATH);
    std::set<std::string> names;
    const std::regex declaration(R"(RX457_API\s+[^;()]*?\b((?:VEX|RX457)_\w+)\s*\()");
    for (std::sregex_iterator it(header.begin(), header.end(), declaration), end; it != end; ++it)
        names.insert((*it)[1]);
    return names;
}

std::set<std::string> definedDynamicSymbols() {
    int code = -1;
    const std::string out = rx457test::runCommand(std::string("nm -D --defined-only '") + RX457_LIBRARY_PATH + "'", &code);
    EXPECT_EQ(code, 0) << "nm failed";
    std::set<std::string> names;
    std::istringstream lines(out);
    std::string address, type, name;
    while (lines >> address >> type >> name) {
        const size_t at = name.find('@');
        names.insert(name.substr(0, at));
    }
    return names;
}

TEST(Exports, SymbolTableMatchesThePublicHeader) {
    const std::set<std::string> declared = declaredExports();
    ASSERT_FALSE(declared.empty());
    EXPECT_EQ(definedDynamicSymbols(), declared);
}

TEST(Exports, SharedObjectCarriesItsSoname) {
    int code = -1;
    const std::string out = rx457test::runCommand(std::string("readelf -d '") + RX457_LIBRARY_PATH + "'", &code);
    ASSERT_EQ(code, 0);
    EXPECT_NE(out.find("Library soname: [libRX457.so.1]"), std::string::npos) << out;
}

}  // namespace
