// GoogleTest and GoogleMock, compiled once per test executable.
#pragma once
#include <gmock/gmock.h>
#include <gtest/gtest.h>
