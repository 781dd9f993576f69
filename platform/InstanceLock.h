// Single-instance lock. (Contract to be completed with the implementation.)
#pragma once
