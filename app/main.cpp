// film03: the demo program's entry point.
#include <cstdio>

int main() {
    std::printf("FILM 03 by KORAL\n");
    return 0;
}
