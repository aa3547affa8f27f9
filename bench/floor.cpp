// The floor for the batch benchmark: everything a conversion must do on
// disk, in one process, and nothing else. For each FILE it reads the file
// whole, writes BYTES bytes (the size of its table) to a temporary beside
// it and renames that to FILE.asc.
//   floor BYTES FILE...
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char* argv[])
{
    if (argc < 2) return 1;
    const std::vector<char> table(std::strtoull(argv[1], nullptr, 10), '0');
    std::vector<char> input(1 << 20);
    for (int i = 2; i < argc; ++i) {
        std::FILE* in = std::fopen(argv[i], "rb");
        if (in == nullptr) return 1;
        while (std::fread(input.data(), 1, input.size(), in) == input.size()) {}
        std::fclose(in);
        const std::string table_path = std::string(argv[i]) + ".asc";
        const std::string temporary = table_path + ".tmp";
        std::FILE* out = std::fopen(temporary.c_str(), "wb");
        if (out == nullptr || std::fwrite(table.data(), 1, table.size(), out) != table.size() || std::fclose(out) != 0 ||
            std::rename(temporary.c_str(), table_path.c_str()) != 0)
            return 1;
    }
    return 0;
}
