#include <cstdio>

int main()
{
    std::fputs("Zarnix 4.0\n", stdout);
    return 0;
}
