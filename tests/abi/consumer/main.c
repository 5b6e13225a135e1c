/* Smallest host built with find_package(tessivar). */
#include <stdio.h>
#include <string.h>
#include <tessivar/tessivar.h>

int main(void)
{
    return strncmp(logVersion(), "anal_log version", 16) == 0 ? 0 : 1;
}
