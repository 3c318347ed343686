REM blink pattern table
DATA 1, 0, 1, 1, 0
