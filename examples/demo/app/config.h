#ifndef CONFIG_H
#define CONFIG_H
#define BLINK_PERIOD 500
#endif
