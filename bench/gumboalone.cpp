// The HTML parser on its own, as a peer for the engine's figures: reads one
// page, parses it with the parser's own allocator and nothing of Pagrion,
// and exits without freeing the tree (the parser frees it recursively, which
// the deepest pages would not survive).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include <gumbo.h>

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: gumbo-alone page.html\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "gumbo-alone: cannot read %s\n", argv[1]);
        return 2;
    }
    const std::string page{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    GumboOptions options = kGumboDefaultOptions;
    options.max_errors = 0;
    const GumboOutput *output = gumbo_parse_with_options(&options, page.data(), page.size());
    std::printf("%u\n", output->root->v.element.children.length);
    return 0;
}
