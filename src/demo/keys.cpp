#include "demo/keys.h"

#include "demo/clock.h"
#include "platform/audio/audio.h"

#include <GL/freeglut.h>

#include <iostream>

void handleKey(unsigned char key, int, int)
{
    switch (key) {
    case 27:
        quitDemo();
        break;
    case ' ':
        if (!musicPaused) {
            BASS_ChannelPause(musicStream);
        } else {
            BASS_ChannelPlay(musicStream, false);
        }
        musicPaused = !musicPaused;
        break;
    case 'A':
    case 'a': {
        std::cout << "BACKWARDS\n";
        const uint64_t position = BASS_ChannelGetPosition(musicStream, BASS_POS_BYTE);
        BASS_ChannelSetPosition(musicStream, position - seekStepBytes, BASS_POS_BYTE);
        break;
    }
    case 'D':
    case 'd': {
        std::cout << "FORWARDS\n";
        const uint64_t position = BASS_ChannelGetPosition(musicStream, BASS_POS_BYTE);
        BASS_ChannelSetPosition(musicStream, position + seekStepBytes, BASS_POS_BYTE);
        break;
    }
    default:
        break;
    }
}
