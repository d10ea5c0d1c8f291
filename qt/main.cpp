#include "startup.h"

int main(int argc, char *argv[])
{
    return hexlark::run(argc, argv);
}
