#ifndef UART_H
#define UART_H
void uart_init(unsigned baud);
void uart_put(char c);
#endif
