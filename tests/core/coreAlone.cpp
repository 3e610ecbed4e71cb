// A program of the core alone, linked with every object of tavo_core (tests/CMakeLists.txt): it
// links only while no file of the core calls into a library the core does not link.
#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    return 0;
}
