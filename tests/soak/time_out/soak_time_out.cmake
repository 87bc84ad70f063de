# Read by ctest when it runs, where the soak's length is known: the time-out follows it, with five minutes
# for start and end. The soak's own watchdog catches a stalled step long before this.
set(soak_seconds 20)
if("$ENV{UVD_SOAK_SECONDS}" MATCHES "^[0-9]+$")
  set(soak_seconds "$ENV{UVD_SOAK_SECONDS}")
endif()
math(EXPR soak_time_out "${soak_seconds} + 300")
set_tests_properties(soak_test PROPERTIES TIMEOUT ${soak_time_out})
