// SPDX-License-Identifier: MIT
// The floor for decoding a template: read the file into memory with one fread and sum its bytes.
#include <cstdio>
#include <vector>

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    std::FILE* file = std::fopen(argv[1], "rb");
    if (!file || std::fseek(file, 0, SEEK_END) != 0) return 1;
    const long size = std::ftell(file);
    std::rewind(file);
    std::vector<unsigned char> bytes(static_cast<std::size_t>(size));
    if (std::fread(bytes.data(), 1, bytes.size(), file) != bytes.size()) return 1;
    unsigned long sum = 0;
    for (const unsigned char byte : bytes) sum += byte;
    std::printf("%lu\n", sum);
    return 0;
}
