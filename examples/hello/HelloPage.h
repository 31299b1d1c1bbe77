#pragma once
// The hello page's entry point: the code a learner would write on the page.

extern "C" __attribute__((visibility("default"))) void helloPageMain();
