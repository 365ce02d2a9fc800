// The HTML parser on its own, as a peer for the engine's figures: reads one
// page, parses it with the parser's own allocator and nothing of Pagrion.
// Parsed once, the tree is never freed (the parser frees it recursively,
// which the deepest pages would not survive); parsed several times, as a
// batch parses its pages, each tree is freed before the next parse.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <gumbo.h>

int main(int argc, char *argv[])
{
    const int times = argc == 3 ? std::atoi(argv[2]) : 1;
    if ((argc != 2 && argc != 3) || times < 1) {
        std::fprintf(stderr, "usage: gumbo-alone page.html [times]\n");
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
    unsigned children = 0;
    for (int parse = 1; parse <= times; ++parse) {
        GumboOutput *output = gumbo_parse_with_options(&options, page.data(), page.size());
        children += output->root->v.element.children.length;
        if (parse < times)
            gumbo_destroy_output(&options, output);
    }
    std::printf("%u\n", children);
    return 0;
}
