function*g(){const x=yield
/re/.test(x)
yield/'/g
yield*[1,2]}var yieldObj={*m(){yield 1}};