#include <cstdint>
#include <cstdio>

#include <QDir>
#include <QFile>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

// Runs the fuzz entry point over every file of the seed corpus, so each page
// the fuzzer ever kept is read again by every test run.
int main(int argc, char **argv)
{
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                    : qEnvironmentVariable("PAGRION_SOURCE_DIR") + QStringLiteral("/tests/fuzz/corpus");
    const QDir corpus(folder);
    const QStringList files = corpus.entryList(QDir::Files, QDir::Name);
    if (files.isEmpty()) {
        std::fprintf(stderr, "no seed pages in %s\n", qPrintable(folder));
        return 1;
    }
    for (const QString &name : files) {
        QFile file(corpus.filePath(name));
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(name));
            return 1;
        }
        const QByteArray bytes = file.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t *>(bytes.constData()), std::size_t(bytes.size()));
    }
    std::printf("%lld passed, 0 failed\n", static_cast<long long>(files.size()));
    return 0;
}
