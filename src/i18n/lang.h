#pragma once
// Set by start-up from -for-testing: only then may the UI language differ from "cn".
extern bool gForTesting;
