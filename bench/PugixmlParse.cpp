// pugixml's bare DOM parse of a list file, as a whole process: the yardstick for reading a list.
//
//   pugixml_parse FILE [copy|inplace]
//
// Reads the file with one read into one buffer and parses it with pugixml's default options:
// "copy" (the default) through load_buffer, which copies the buffer first, "inplace" through
// load_buffer_inplace, which parses the buffer itself. Prints the number of rows the document holds,
// so the parse cannot be left out.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <pugixml.hpp>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3
        || (argc == 3 && std::strcmp(argv[2], "copy") != 0 && std::strcmp(argv[2], "inplace") != 0)) {
        std::fprintf(stderr, "usage: %s FILE [copy|inplace]\n", argv[0]);
        return 2;
    }
    const bool inplace = argc == 3 && std::strcmp(argv[2], "inplace") == 0;
    const int fd = ::open(argv[1], O_RDONLY);
    struct stat st
    {
    };
    if (fd < 0 || ::fstat(fd, &st) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    const size_t size = size_t(st.st_size);
    char *buffer = static_cast<char *>(std::malloc(size ? size : 1));
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n <= 0) {
            std::perror(argv[1]);
            return 1;
        }
        done += size_t(n);
    }
    ::close(fd);

    pugi::xml_document doc;
    const pugi::xml_parse_result result
        = inplace ? doc.load_buffer_inplace(buffer, size) : doc.load_buffer(buffer, size);
    if (!result) {
        std::fprintf(stderr, "%s: %s at byte %td\n", argv[1], result.description(), result.offset);
        return 1;
    }
    long rows = 0;
    for (pugi::xml_node row = doc.child("DATAPACKET").child("ROWDATA").first_child(); row;
         row = row.next_sibling())
        ++rows;
    std::printf("%ld rows\n", rows);
    return 0;
}
