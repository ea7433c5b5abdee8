# Sending a real value through pins: to one sink, to 16 sinks, through a
# converter, and along a chain of 10 forwarding components beside the same
# chain as plain virtual calls.
fr_add_bench(bench_pins
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/pins/PinsBench.cpp
  DEPS fr_pins)
