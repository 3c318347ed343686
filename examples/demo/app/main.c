#include <msp430f449.h>
#include "config.h"
#include "led.h"
#include "uart.h"
#include "ringbuf.h"

int main(void)
{
    WDTCTL = 0x5A00 | WDTCTL_WDTHOLD;
    led_init();
    uart_init(UART_BAUD);
    for (;;)
        led_toggle();
}
