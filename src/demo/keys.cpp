#include "demo/keys.h"

#include "demo/clock.h"

#include <GL/freeglut.h>

#include <iostream>

void handleKey(unsigned char key, int, int)
{
    switch (key) {
    case 27:
        quitDemo();
        break;
    case ' ':
        toggleMusicPause();
        break;
    case 'A':
    case 'a':
        std::cout << "BACKWARDS\n";
        seekMusicBytes(false, seekStepBytes);
        break;
    case 'D':
    case 'd':
        std::cout << "FORWARDS\n";
        seekMusicBytes(true, seekStepBytes);
        break;
    default:
        break;
    }
}
