// SPDX-License-Identifier: MIT
/* The smallest Windows program, to carry the resources of the executable fixtures. */
int main(void) { return 0; }
