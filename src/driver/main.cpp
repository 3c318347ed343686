#include "driver/Driver.h"

int main(int argc, char** argv) {
    return slipwayMain(argc, argv);
}
