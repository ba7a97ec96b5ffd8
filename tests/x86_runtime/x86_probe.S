# The smallest 32-bit x86 Linux program that shows it ran: it writes one
# line through the 32-bit system call gate and exits 0. A kernel without
# 32-bit support refuses to start it ("Exec format error"); one with it
# prints the line, whatever else on the machine is set up.
    .code32
    .section .text
    .globl _start
_start:
    movl $4, %eax           # write
    movl $1, %ebx           # standard output
    movl $message, %ecx
    movl $length, %edx
    int $0x80
    movl $1, %eax           # exit
    xorl %ebx, %ebx
    int $0x80

    .section .rodata
message:
    .ascii "32-bit x86 code runs\n"
    .set length, . - message
